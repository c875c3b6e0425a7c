#!/usr/bin/env bash
# Encodes the MP3 layouts that Tolvane's window placement must handle into OUTDIR, with the
# ffmpeg command-line tool (libmp3lame). Usage: make_mp3_variants.sh OUTDIR (writes
# OUTDIR/.stamp last).
#
# Each file is digital silence with 10 ms bursts (1 kHz sine, amplitude 0.8) whose first
# sample is exactly at the named times:
#   b25_50s_*    50 s, burst at 25.0 s          (a 60 + 30 s window moves back to 20..50 s)
#   b65_100s_*   100 s, bursts at 15.0 and 65.0 s (the window 60..90 s fits)
#   b155_240s_*  240 s, burst at 155.0 s        (asked for at 150 s, late in a long file)
# Layouts (the part of the name after the length):
#   cbr32        CBR 32 kbit/s, 44.1 kHz mono, Info header
#   cbr32_id3    the same behind an ID3v2.3 tag of about 8 kB (text frames and padding)
#   cbr128s      CBR 128 kbit/s, 44.1 kHz stereo, Info header
#   cbr32_notag  CBR 32 kbit/s, 44.1 kHz mono, no Info header
#   vbr          VBR (quality 4), 44.1 kHz mono, Xing header with a table of contents
#   vbr_id3      the same behind the ID3v2.3 tag
#   mpeg2        MPEG-2 layer 3, CBR 32 kbit/s, 22.05 kHz mono (576-sample frames)
#   cbr64_48k    CBR 64 kbit/s, 48 kHz mono
set -euo pipefail
out=$1
mkdir -p "$out"
rm -f "$out/.stamp"

ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
burst() { echo "if(between(t-$1\,0\,0.01)\,0.8*sin(2*PI*1000*(t-$1))\,0)"; }
src() {
  local dur=$1 rate=$2 expr="0"
  shift 2
  for at in "$@"; do expr="$expr+$(burst "$at")"; done
  echo "aevalsrc=exprs='$expr':s=$rate:d=$dur"
}
plain=(-fflags +bitexact -flags:a +bitexact -map_metadata -1 -c:a libmp3lame -write_id3v1 0)
tag=(-id3v2_version 3 -metadata title="Window Song" -metadata artist="Zarvell Test"
  -metadata album="Fixture Album" -metadata comment="$(printf 'x%.0s' $(seq 1 8000))")

encode() {  # name duration burst-times... -- ffmpeg options
  local name=$1 dur=$2
  shift 2
  local times=()
  while [ "$1" != "--" ]; do times+=("$1"); shift; done
  shift
  ff -f lavfi -i "$(src "$dur" 44100 "${times[@]}")" "${plain[@]}" "$@" "$out/$name.mp3"
}

for song in "b25_50s 50 25" "b65_100s 100 15 65" "b155_240s 240 155"; do
  set -- $song
  name=$1 dur=$2
  shift 2
  encode "${name}_cbr32" "$dur" "$@" -- -ac 1 -ar 44100 -b:a 32k -id3v2_version 0
  encode "${name}_cbr32_id3" "$dur" "$@" -- -ac 1 -ar 44100 -b:a 32k "${tag[@]}"
  encode "${name}_cbr128s" "$dur" "$@" -- -ac 2 -ar 44100 -b:a 128k -id3v2_version 0
  encode "${name}_cbr32_notag" "$dur" "$@" -- -ac 1 -ar 44100 -b:a 32k -id3v2_version 0 \
    -write_xing 0
  encode "${name}_vbr" "$dur" "$@" -- -ac 1 -ar 44100 -q:a 4 -id3v2_version 0
  encode "${name}_vbr_id3" "$dur" "$@" -- -ac 1 -ar 44100 -q:a 4 "${tag[@]}"
  encode "${name}_mpeg2" "$dur" "$@" -- -ac 1 -ar 22050 -b:a 32k -id3v2_version 0
  encode "${name}_cbr64_48k" "$dur" "$@" -- -ac 1 -ar 48000 -b:a 64k -id3v2_version 0
done

touch "$out/.stamp"
