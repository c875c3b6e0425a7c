#!/usr/bin/env bash
# Benchmarks the player program's own costs on a 100,000-song network, in paired runs:
#   start-up  AppCore with its main window until the default network is loaded and the
#             window shown, against the engine's own loadNet of the same file
#   exit      the Close path (queue handed over, network saved, objects destroyed) against
#             the engine's saveNet and destruction
#   gap       from one song's end event to the next song's first audio in the sink (the
#             2-second songs imported into the network), beside gst-launch-1.0 playbin
#             starting the same file in a new process until it has prerolled
#
# Usage: scripts/bench-app.sh [RUNS]    (default 7; paired runs of start-up and exit)
# Environment: APP_BENCH_BUILD  build folder (default build/bench-app)
# The network is generated once (kalvoret-netgen) into the build folder. Close other work
# first: figures move with the load (printed).
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
source "$(dirname "$0")/lib/timing.sh"
count_argument RUNS 7 "$@"
runs=$COUNT
root=$(cd "$(dirname "$0")/.." && pwd)
build=${APP_BENCH_BUILD:-$root/build/bench-app}

bench_build "$build" app_bench program kalvoret-netgen
network=$build/network-100k.xml
[ -s "$network" ] || "$build/program/kalvoret-netgen" --out "$network" >/dev/null 2>&1
song=$build/gap-song.wav
[ -s "$song" ] || ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=f=440:d=2:r=44100" \
  -ac 2 -c:a pcm_s16le "$song"

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export ZARVELL_HOME=$home ZARVELL_PROGRAM_DIR=$build/program ZARVELL_AUDIO_SINK=fake \
  QT_QPA_PLATFORM=offscreen
bench=$build/bench/app/app_bench

echo "bench-app: $runs pairs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$bench" startup "$network" "$runs" 2>/dev/null | grep -E "^(pair|start-up|exit)"
"$bench" gap "$network" "$song" "$((runs * 3))" 2>/dev/null | grep -E "^gap"
ref=()
for ((r = 0; r < runs; r++)); do
  ref+=("$(until_line PREROLLED gst-launch-1.0 playbin "uri=file://$song" audio-sink=fakesink)")
done
printf 'gst-launch-1.0 playbin to prerolled (new process), median of %d: %s ms\n' "$runs" \
  "$(printf '%s\n' "${ref[@]}" | median)"
echo "bench-app: load average after $(cut -d' ' -f1-3 /proc/loadavg)"
