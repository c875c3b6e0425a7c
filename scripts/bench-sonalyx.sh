#!/usr/bin/env bash
# Benchmarks Sonalyx's analysis steps over generated 4-minute songs and compares them with
# aubio's command-line tools on the same 30-second windows.
#
# Usage: scripts/bench-sonalyx.sh [SONGS]     (default 200 mono songs, mixed MP3, M4A and
#        WAV, and a third as many stereo MP3 songs)
# Environment: SONALYX_BENCH_BUILD  build folder (default build/bench-sonalyx)
#
# Songs are generated once into build/bench-data (not committed). Per song it reports:
#   a  libavcodec alone decoding the 60-90 s window (the decode floor, no resampling),
#      opened and seeked as Tolvane does;  a2 the same with resampling to mono 22,050 Hz
#   b  Tolvane ConvertToWave      c  Pradix ExtractAudioDS
#   d  bextractRaw on the buffer  e  GetFeatures per song (one call over all songs)
#   peer  aubiomfcc + aubiotrack on the same window cut losslessly from each song
# and checks: b <= 1.3 a, d <= 20 ms, e <= 1.1 (b + d), e < peer. The same steps then run
# over the mono MP3 songs alone and over stereo MP3 songs (lines prefixed "mono_mp3_" and
# "stereo_mp3_"), so that real stereo MP3 figures stand beside the mono ones.
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
count_argument SONGS 200 "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
songs=$COUNT
stereo=$(( (songs + 2) / 3 ))
build=${SONALYX_BENCH_BUILD:-$root/build/bench-sonalyx}
data=$root/build/bench-data
windows=$data/windows

if ! command -v aubiomfcc >/dev/null || ! command -v aubiotrack >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "bench-sonalyx: installing aubio-tools (the peer)"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends aubio-tools
fi

bench_build "$build" sonalyx_bench Sonalyx Tolvane Pradix

# Song i: two partials, pink noise and a tremolo pulse, 240 s, 44.1 kHz mono; format by i.
mkdir -p "$data" "$windows"
ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
files=()
mono_mp3=()
for ((i = 0; i < songs; i++)); do
  case $((i % 3)) in
    0) ext=mp3; codec=(-c:a libmp3lame -b:a 128k) ;;
    1) ext=m4a; codec=(-c:a aac -b:a 128k) ;;
    2) ext=wav; codec=(-c:a pcm_s16le) ;;
  esac
  song=$data/song_$i.$ext
  if [ ! -s "$song" ]; then
    f1=$((110 + (i * 37) % 600)); f2=$((660 + (i * 53) % 2000)); beat=$((1 + i % 4))
    ff -filter_complex "sine=f=$f1:d=240:r=44100,volume=0.4[a];sine=f=$f2:d=240:r=44100,volume=0.2[b];anoisesrc=d=240:c=pink:a=0.08:seed=$i:r=44100[c];[a][b][c]amix=inputs=3,tremolo=f=$beat:d=0.6" \
      -ac 1 -ar 44100 -fflags +bitexact -map_metadata -1 "${codec[@]}" "$song"
  fi
  window=$windows/song_$i.$ext
  [ -s "$window" ] || ff -ss 60 -t 30 -i "$song" -c copy -map_metadata -1 "$window"
  files+=("$song")
  [ "$ext" = mp3 ] && mono_mp3+=("$song")
done

# Stereo MP3 song i: different partials and noise on the two channels, 240 s, 44.1 kHz,
# joint stereo 128 kbit/s as a common encoder setting gives.
stereo_files=()
for ((i = 0; i < stereo; i++)); do
  song=$data/stereo_$i.mp3
  if [ ! -s "$song" ]; then
    f1=$((110 + (i * 41) % 600)); f2=$((660 + (i * 59) % 2000)); beat=$((1 + i % 4))
    ff -filter_complex "sine=f=$f1:d=240:r=44100,volume=0.4[a];anoisesrc=d=240:c=pink:a=0.08:seed=$i:r=44100[n];[a][n]amix=inputs=2,tremolo=f=$beat:d=0.6[l];sine=f=$f2:d=240:r=44100,volume=0.3[b];anoisesrc=d=240:c=pink:a=0.08:seed=$((i + 5000)):r=44100[m];[b][m]amix=inputs=2,tremolo=f=$beat:d=0.4[r];[l][r]join=inputs=2:channel_layout=stereo" \
      -ac 2 -ar 44100 -fflags +bitexact -map_metadata -1 -c:a libmp3lame -b:a 128k "$song"
  fi
  stereo_files+=("$song")
done

# Warm cache.
cat "${files[@]}" "${stereo_files[@]}" "$windows"/* >/dev/null

echo "bench-sonalyx: $songs songs of 240 s in $data"
n_mp3=${#mono_mp3[@]}; n_m4a=$(( (songs + 1) / 3 )); n_wav=$(( songs / 3 ))
echo "bench-sonalyx: songs used: $songs mono 44.1 kHz songs (song_*: $n_mp3 MP3 CBR 128 kbit/s," \
  "$n_m4a M4A AAC 128 kbit/s, $n_wav WAV 16-bit), and $stereo stereo 44.1 kHz MP3 songs" \
  "(stereo_*: joint stereo CBR 128 kbit/s); window 60-90 s of each"
bench() { ZARVELL_PROGRAM_DIR=$build/program "$build/bench/sonalyx/sonalyx_bench" "$@"; }
out=$(bench "${files[@]}")
echo "$out"
# MP3 alone, mono and stereo, one run right after the other.
out_mono_mp3=$(bench "${mono_mp3[@]}")
out_stereo_mp3=$(bench "${stereo_files[@]}")
echo "$out_mono_mp3" | sed 's/^/mono_mp3_/'
echo "$out_stereo_mp3" | sed 's/^/stereo_mp3_/'

# The peer: aubio's MFCC and beat tracker on each window (process start-up included).
start=$(date +%s.%N)
for ((i = 0; i < songs; i++)); do
  w=$(ls "$windows"/song_$i.*)
  aubiomfcc -i "$w" >/dev/null 2>&1
  aubiotrack -i "$w" >/dev/null 2>&1
done
end=$(date +%s.%N)
peer=$(echo "$start $end $songs" | awk '{ printf "%.3f", ($2 - $1) * 1000 / $3 }')
echo "peer_aubio $peer $peer"

echo "$out" | awk -v peer="$peer" '
  /^a_/ { a = $2 } /^b_/ { b = $2 } /^c_/ { c = $2 } /^d_/ { d = $2 } /^e_/ { e = $2 }
  END {
    printf "\nper song, mean ms: a %.1f  b %.1f  c %.1f  d %.1f  e %.1f  peer %.1f\n", a, b, c, d, e, peer
    printf "b <= 1.3 a      : %.2f x a       %s\n", b / a, (b <= 1.3 * a) ? "ok" : "MISSED"
    printf "d <= 20 ms      : %.1f ms         %s\n", d, (d <= 20) ? "ok" : "MISSED"
    printf "e <= 1.1 (b+d)  : %.2f x (b+d)   %s\n", e / (b + d), (e <= 1.1 * (b + d)) ? "ok" : "MISSED"
    printf "e < peer        : %.2f x peer    %s\n", e / peer, (e < peer) ? "ok" : "MISSED"
  }'
{ echo "$out_mono_mp3" | sed 's/^/mono /'; echo "$out_stereo_mp3" | sed 's/^/stereo /'; } | awk '
  $2 ~ /^a_/ { a[$1] = $3 } $2 ~ /^a2_/ { a2[$1] = $3 } $2 ~ /^b_/ { b[$1] = $3 }
  $2 ~ /^d_/ { d[$1] = $3 } $2 ~ /^e_/ { e[$1] = $3 }
  END {
    printf "\nMP3 per song, mean ms      mono    stereo\n"
    printf "a  decode floor          %7.1f  %7.1f\n", a["mono"], a["stereo"]
    printf "a2 decode + resample     %7.1f  %7.1f\n", a2["mono"], a2["stereo"]
    printf "b  Tolvane               %7.1f  %7.1f\n", b["mono"], b["stereo"]
    printf "d  bextractRaw           %7.1f  %7.1f\n", d["mono"], d["stereo"]
    printf "e  GetFeatures           %7.1f  %7.1f\n", e["mono"], e["stereo"]
    printf "b <= 1.3 a2 (stereo)  : %.2f x a2  %s\n", b["stereo"] / a2["stereo"], (b["stereo"] <= 1.3 * a2["stereo"]) ? "ok" : "MISSED"
  }'
