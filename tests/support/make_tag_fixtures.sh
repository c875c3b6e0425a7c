#!/usr/bin/env bash
# Encodes the tagged audio fixtures of the tag-reader tests into OUTDIR with the ffmpeg
# command-line tool (real tags written by ffmpeg's muxers).
# Usage: make_tag_fixtures.sh OUTDIR   (writes OUTDIR/.stamp last)
#
# Every file holds 7.5 s of a 440 Hz sine (so a length rounded instead of truncated shows
# as 8). Names are stable; new files may be added, none is renamed.
#   tagged.{mp3,m4a,wav,wma,flac,ogg,opus}   title "Blue Hour – Café <ext>" (<ext> the
#       file's extension), artist "Zarvell Ensemble", album "Night Sessions", genre
#       "Jazz", date "1999-05-17". MP3: ID3v2.4 (date in TDRC); M4A: MP4 atoms; WAV: RIFF
#       INFO; WMA: ASF, "WM/Year" "1999-05" (ffmpeg writes a "date" attribute under that
#       name as it stands, so the WMA file names WM/Year itself); FLAC, Ogg Vorbis, Opus:
#       Xiph comments (DATE).
#   tagged_v23.mp3       the same tags as ID3v2.3 (date written as TYER "1999")
#   tagged_v1.mp3        ID3v1 only: title "Blue Hour mp3", the same artist, album and
#                        genre (ID3v1 genre 8, Jazz), year 1999
#   plain.{mp3,flac,wma} no tags at all
#   nodate.wma           title "No Date" only: no WM/Year, no WM/Genre
#   cp1252.wav           INFO title "Caf\xe9" in Windows-1252 (not valid UTF-8)
#   long1024.{mp3,m4a,wav,wma,flac,ogg,opus}  title of 1,021 "x" then "日本" (1,027
#       bytes): cut to 1,021 "x" and "日" (exactly 1,024 bytes)
#   long1022.{mp3,wma,flac}  title of 1,022 "x" then "日本": "日" would end past byte
#       1,024, so the cut keeps the 1,022 "x" only
#   not_audio.{flac,ogg,opus,m4a}  a short text file under each name
set -euo pipefail
out=$1
mkdir -p "$out"
rm -f "$out/.stamp"

ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
src=(-f lavfi -i "sine=f=440:sample_rate=44100:duration=7.5")
plain=(-fflags +bitexact -flags:a +bitexact -map_metadata -1 -ac 1)

codec() {
  case $1 in
    mp3) echo "-c:a libmp3lame -b:a 32k -id3v2_version 4 -write_id3v1 0" ;;
    m4a) echo "-c:a aac -b:a 32k" ;;
    wav) echo "-c:a pcm_s16le -ar 22050" ;;
    wma) echo "-c:a wmav2 -b:a 32k" ;;
    flac) echo "-c:a flac" ;;
    ogg) echo "-c:a libvorbis -q:a 0" ;;
    opus) echo "-c:a libopus -b:a 32k" ;;
  esac
}

# encode EXT OUTFILE [ffmpeg options...]
encode() {
  local ext=$1 file=$2
  shift 2
  # shellcheck disable=SC2046
  ff "${src[@]}" "${plain[@]}" $(codec "$ext") "$@" "$file"
}

x1021=$(printf 'x%.0s' $(seq 1021))
long1024="${x1021}日本"
long1022="x${x1021}日本"

for ext in mp3 m4a wav wma flac ogg opus; do
  # ffmpeg's ASF muxer does not map "date" to "WM/Year": the attribute is named directly.
  date=(-metadata "date=1999-05-17")
  [ "$ext" = wma ] && date=(-metadata "WM/Year=1999-05")
  encode "$ext" "$out/tagged.$ext" -metadata "title=Blue Hour – Café $ext" \
    -metadata "artist=Zarvell Ensemble" -metadata "album=Night Sessions" \
    -metadata "genre=Jazz" "${date[@]}"
  encode "$ext" "$out/long1024.$ext" -metadata "title=$long1024"
done
for ext in mp3 wma flac; do
  encode "$ext" "$out/plain.$ext"
  encode "$ext" "$out/long1022.$ext" -metadata "title=$long1022"
done
ff "${src[@]}" "${plain[@]}" -c:a libmp3lame -b:a 32k -id3v2_version 3 -write_id3v1 0 \
  -metadata "title=Blue Hour – Café mp3" -metadata "artist=Zarvell Ensemble" \
  -metadata "album=Night Sessions" -metadata "genre=Jazz" -metadata "date=1999" \
  "$out/tagged_v23.mp3"
# ffmpeg writes ID3v1 only beside an ID3v2 tag: the ID3v2 tag (size syncsafe in bytes 6-9)
# is cut off afterwards.
ff "${src[@]}" "${plain[@]}" -c:a libmp3lame -b:a 32k -id3v2_version 4 -write_id3v1 1 \
  -metadata "title=Blue Hour mp3" -metadata "artist=Zarvell Ensemble" \
  -metadata "album=Night Sessions" -metadata "genre=Jazz" -metadata "date=1999" \
  "$out/.v1v2.mp3"
read -r b6 b7 b8 b9 < <(od -An -tu1 -j6 -N4 "$out/.v1v2.mp3")
tail -c +$(( (b6 << 21 | b7 << 14 | b8 << 7 | b9) + 11 )) "$out/.v1v2.mp3" >"$out/tagged_v1.mp3"
rm -f "$out/.v1v2.mp3"
encode wma "$out/nodate.wma" -metadata "title=No Date"
encode wav "$out/cp1252.wav" -metadata "title=$(printf 'Caf\351')"
for ext in flac ogg opus m4a; do
  printf 'This is a text file, not audio.\n' >"$out/not_audio.$ext"
done

touch "$out/.stamp"
