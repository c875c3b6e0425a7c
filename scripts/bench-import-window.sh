#!/usr/bin/env bash
# The player's import window against the console's importFolder, in paired runs: the same
# folder of N short generated songs (3 seconds, MP3/FLAC/Ogg/WAV in turn, each its own
# tones and tags) imported into an empty network, the console reference right before the
# window in each pair, each a process of its own in a fresh data folder. Reports the median
# pairwise ratio (target <= 1.05) and the longest gap between the interface thread's 10 ms
# timer ticks during the window import (target <= 50 ms), with the load average.
# usage: scripts/bench-import-window.sh [N]   (songs, default 1000; pairs from
#   $BENCH_IMPORT_RUNS, default 3). Files are made once by ffmpeg into
#   $BENCH_IMPORT_CACHE (default build/bench-import-window-cache/N).
#   Build folder: $BENCH_BUILD_DIR (default build/bench-import).
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
source "$(dirname "$0")/lib/two-at-a-time.sh"
count_argument N 1000 "$@"
songs=$COUNT
runs=${BENCH_IMPORT_RUNS:-3}
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build/bench-import}
cache=$(realpath -m "${BENCH_IMPORT_CACHE:-build/bench-import-window-cache/$songs}")
# An existing build folder (with benchmarks on) is used as it is configured.
BUILD_AS_CONFIGURED=1 bench_build "$build" import_bench program
bench=$(realpath "$build/bench/app/import_bench")
program=$(realpath "$build/program")

if [ ! -f "$cache/.complete" ]; then
  mkdir -p "$cache"
  make_one() {
    local i=$1 ext
    case $((i % 4)) in 0) ext=mp3 ;; 1) ext=flac ;; 2) ext=ogg ;; 3) ext=wav ;; esac
    local f1=$((110 + (i * 37) % 800)) f2=$((170 + (i * 53) % 1200))
    mkdir -p "$cache/folder$((i % 10))"
    ffmpeg -nostdin -loglevel error -y \
      -f lavfi -i "aevalsrc=exprs='0.5*sin(2*PI*$f1*t)+0.3*sin(2*PI*$f2*t)':s=44100:d=3" \
      -ac 1 -map_metadata -1 -metadata title="Bench Song $i" \
      -metadata artist="Bench Artist $((i % 50))" -metadata album="Bench Album $((i % 100))" \
      "$cache/folder$((i % 10))/song$(printf %05d "$i").$ext"
  }
  two_at_a_time make_one "$songs"
  touch "$cache/.complete"
fi

export ZARVELL_PROGRAM_DIR=$program ZARVELL_COMMUNITY_HOST=127.0.0.1:1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/ratios"; : >"$work/gaps"; : >"$work/console"; : >"$work/window"
echo "songs $songs, pairs $runs, load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "$runs"); do
  rm -rf "$work/home"; mkdir -p "$work/home"
  # The engine prints its own unterminated lines: take the figures wherever they are.
  c=$(ZARVELL_HOME=$work/home "$bench" console "$cache" 2>>"$work/stderr" |
    grep -o 'seconds [0-9.]*' | awk '{print $2}')
  rm -rf "$work/home"; mkdir -p "$work/home"
  out=$(ZARVELL_HOME=$work/home "$bench" window "$cache" 2>>"$work/stderr")
  w=$(echo "$out" | grep -o 'seconds [0-9.]*' | awk '{print $2}')
  g=$(echo "$out" | grep -o 'longest tick gap [0-9]*' | awk '{print $4}')
  [ -n "$c" ] && [ -n "$w" ] && [ -n "$g" ] || { echo "a run failed:" >&2; tail -20 "$work/stderr" >&2; exit 1; }
  echo "$c" >>"$work/console"; echo "$w" >>"$work/window"; echo "$g" >>"$work/gaps"
  echo "$w / $c" | bc -l >>"$work/ratios"
  echo "pair $run: console $c s, window $w s, longest tick gap $g ms ($(cut -d' ' -f1-3 /proc/loadavg))"
done
median() { sort -g "$1" | sed -n "$(( ($(wc -l <"$1") + 1) / 2 ))p"; }
printf 'median console %.3f s, median window %.3f s\n' "$(median "$work/console")" "$(median "$work/window")"
printf 'median pairwise window / console %.3f (target <= 1.05)\n' "$(median "$work/ratios")"
echo "longest tick gap: median $(median "$work/gaps") ms, largest $(sort -g "$work/gaps" | tail -1) ms (target <= 50)"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
