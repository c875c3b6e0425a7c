#!/usr/bin/env bash
# Benchmarks how long the internal player plug-in takes to start a song: from the request to
# the first audio in the sink (the pipeline prerolled), into a fake sink that keeps time.
#
# Usage: scripts/bench-player.sh [ROUNDS]     (default 15)
# Environment: PLAYER_BENCH_BUILD  build folder (default build/bench-player)
#
# Songs: 240 s, 44.1 kHz stereo, MP3 128 kbit/s, M4A AAC 128 kbit/s, FLAC and WAV 16-bit,
# generated once into build/bench-data (not committed). Measures, in paired runs:
#   cold  a new process until the song has prerolled: player_start_bench --cold against
#         gst-launch-1.0 playbin uri=... audio-sink=fakesink reaching "PREROLLED" (both
#         timed from the spawn by this script; both pay GStreamer's start-up)
#   warm  APPlay on a player kept for the whole run (as the application keeps it, the
#         plug-in's share of the gap between two songs) against a bare playbin started the
#         same way in the same process
# and prints medians. Close other work first: figures move with the load (printed).
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
count_argument ROUNDS 15 "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=$COUNT
build=${PLAYER_BENCH_BUILD:-$root/build/bench-player}
data=$root/build/bench-data

if ! command -v gst-launch-1.0 >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "bench-player: installing gstreamer1.0-tools (the reference)"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends gstreamer1.0-tools
fi

bench_build "$build" player_start_bench internal
bench=$build/bench/audioplugins/player_start_bench
export ZARVELL_PROGRAM_DIR=$build/program ZARVELL_AUDIO_SINK=fake

mkdir -p "$data"
ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
src="sine=f=440:d=240:r=44100,volume=0.4[a];sine=f=660:d=240:r=44100,volume=0.3[b];[a][b]join=inputs=2:channel_layout=stereo"
declare -A codec=([mp3]="-c:a libmp3lame -b:a 128k" [m4a]="-c:a aac -b:a 128k"
  [flac]="-c:a flac" [wav]="-c:a pcm_s16le")
files=()
for ext in mp3 m4a flac wav; do
  song=$data/player_240s.$ext
  # shellcheck disable=SC2086
  [ -s "$song" ] || ff -filter_complex "$src" -fflags +bitexact -map_metadata -1 ${codec[$ext]} "$song"
  files+=("$song")
done
cat "${files[@]}" >/dev/null  # warm the page cache

source "$(dirname "$0")/lib/timing.sh"

echo "bench-player: $rounds rounds, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-18s %12s %12s %7s\n" "cold start" "plugin ms" "gst-launch" "ratio"
for song in "${files[@]}"; do
  uri="file://$song"
  ours=() ref=()
  for ((r = 0; r < rounds; r++)); do
    ref+=("$(until_line PREROLLED gst-launch-1.0 playbin "uri=$uri" audio-sink=fakesink)")
    ours+=("$(until_line prerolled "$bench" --cold "$song")")
  done
  if printf '%s\n' "${ours[@]}" "${ref[@]}" | grep -q fail; then
    echo "bench-player: a cold start failed for $song" >&2
    exit 1
  fi
  a=$(printf '%s\n' "${ours[@]}" | median)
  b=$(printf '%s\n' "${ref[@]}" | median)
  printf "%-18s %12s %12s %7s\n" "$(basename "$song")" "$a" "$b" \
    "$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }')"
done

echo
printf "%-18s %12s %12s %7s   (p90 / max: plugin, bare)\n" "warm start" "plugin ms" "bare ms" "ratio"
"$bench" --warm "$rounds" "${files[@]}" | awk '
  $1 == "warm" {
    printf "%-18s %12s %12s %7.2f   (%s / %s, %s / %s)\n", $2, $4, $8, $4 / $8, $5, $6, $9, $10
  }'
echo "bench-player: load average after $(cut -d' ' -f1-3 /proc/loadavg)"
