#!/usr/bin/env bash
# Import benchmark: importing N generated 4-minute files of mixed formats (MP3, M4A, FLAC,
# Ogg Vorbis, a quarter each, every file its own two tones and tags) into an empty network,
# against the sum of its parts measured alone: the tag read per file + GetFeatures per
# song + link inference per song. Target: the whole import at most 10 % above the parts.
# Also the peak memory of the import process.
#
# One run of this script makes RUNS pairs (default 3): "bench_import parts" right before
# "bench_import import", each a process of its own; medians of the per-song times and of
# the pairwise ratios are reported with the load average.
# usage: scripts/bench-import.sh [N]   (songs, default 1000; RUNS from $BENCH_IMPORT_RUNS)
# Files are made once by ffmpeg into $BENCH_IMPORT_CACHE (default build/bench-import-cache/N).
# Build folder: $BENCH_BUILD_DIR (default build/bench-import, RelWithDebInfo). The pairwise
# model: $BENCH_IMPORT_MODEL (default the shipped <program>/networks/model).
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
source "$(dirname "$0")/lib/two-at-a-time.sh"
count_argument N 1000 "$@"
songs=$COUNT
runs=${BENCH_IMPORT_RUNS:-3}
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build/bench-import}
cache=$(realpath -m "${BENCH_IMPORT_CACHE:-build/bench-import-cache/$songs}")
bench_build "$build" bench_import
bench=$(realpath "$build/bench/import/bench_import")
program=$(realpath "$build/program")
model=${BENCH_IMPORT_MODEL:-$program/networks/model}

# The files: made once, two encodes at a time (the machine is shared).
if [ ! -f "$cache/.complete" ]; then
  mkdir -p "$cache"
  make_one() {
    local i=$1 ext fmt
    case $((i % 4)) in
      0) ext=mp3 fmt=(-c:a libmp3lame -b:a 128k -id3v2_version 3) ;;
      1) ext=m4a fmt=(-c:a aac -b:a 128k) ;;
      2) ext=flac fmt=(-c:a flac) ;;
      3) ext=ogg fmt=(-c:a libvorbis -q:a 3) ;;
    esac
    local f1=$((110 + (i * 37) % 800)) f2=$((170 + (i * 53) % 1200))
    ffmpeg -nostdin -loglevel error -y \
      -f lavfi -i "sine=frequency=$f1:sample_rate=44100:duration=240" \
      -f lavfi -i "sine=frequency=$f2:sample_rate=44100:duration=240" \
      -filter_complex amix=inputs=2 -ac 1 -map_metadata -1 \
      -metadata title="Bench Song $i" -metadata artist="Bench Artist $((i % 50))" \
      -metadata album="Bench Album $((i % 100))" -metadata genre="Bench" -metadata date=2005 \
      "${fmt[@]}" "$cache/song$(printf %05d "$i").$ext"
  }
  two_at_a_time make_one "$songs"
  touch "$cache/.complete"
fi

export ZARVELL_PROGRAM_DIR=$program ZARVELL_COMMUNITY_HOST=127.0.0.1:1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
: >parts.txt; : >import.txt; : >ratios.txt; : >memory.txt
echo "songs $songs, pairs $runs, load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "$runs"); do
  "$bench" parts "$cache" "$model" >parts.out
  "$bench" import "$cache" "$model" >import.out || { cat import.out; echo "import failed" >&2; exit 1; }
  p=$(awk '/^parts seconds\/song/ {print $3}' parts.out)
  i=$(awk '/^import seconds\/song/ {print $3}' import.out)
  echo "$p" >>parts.txt; echo "$i" >>import.txt
  echo "$i / $p" | bc -l >>ratios.txt
  awk '/peak memory/ {print $5}' import.out >>memory.txt
  echo "pair $run: parts $p s/song, import $i s/song ($(cut -d' ' -f1-3 /proc/loadavg))"
  sed 's/^/  /' parts.out import.out
done
sorted() { sort -g "$1" >"$1.s"; sed -n "$(( ($(wc -l <"$1") + 1) / 2 ))p" "$1.s"; }
p=$(sorted parts.txt) i=$(sorted import.txt) r=$(sorted ratios.txt) m=$(sorted memory.txt)
printf 'median parts seconds/song %.4f\nmedian import seconds/song %.4f\n' "$p" "$i"
printf 'median pairwise import / parts %.3f (target <= 1.10)\n' "$r"
printf 'median import peak memory %.1f MiB\n' "$(echo "$m / 1024" | bc -l)"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
