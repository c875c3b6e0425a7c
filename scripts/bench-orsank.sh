#!/usr/bin/env bash
# Tag reading per file: Orsank's ExtractMetaData against TagLib's own FileRef reading loop
# (a ten-line program reading the same four texts, year and length) over the same files.
#
# Usage: scripts/bench-orsank.sh [PAIRS]   (paired runs, default 7)
# Environment: ORSANK_BENCH_BUILD  build folder (default build/bench-orsank)
#              ORSANK_BENCH_LINKS  names per format (default 100)
#
# One tagged 4-minute file per format (MP3 128 kbit/s with ID3v2.4, M4A AAC 128 kbit/s,
# WAV 16-bit stereo with RIFF INFO, WMA 128 kbit/s through Velmor, FLAC, Ogg Vorbis, Opus)
# is made once with ffmpeg into build/bench-data/orsank; each is reached under LINKS names
# (hard links), so every read opens and parses a file. Each pair runs both loops over the
# same list right after each other (the order alternates between pairs), each loop taking
# the fastest of 3 passes. Per list it prints the median processor time (user + system)
# per file of each side and the median of the pairs' ratios, then the same for wall time;
# the target is a processor-time ratio of at most 1.2 on the mixed list. Processor time
# is the measure because the machine is shared: wall time also counts the time other
# programs hold the processor, which differs from one run to the next.
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
count_argument PAIRS 7 "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
pairs=$COUNT
links=${ORSANK_BENCH_LINKS:-100}
build=${ORSANK_BENCH_BUILD:-$root/build/bench-orsank}
data=$root/build/bench-data/orsank
passes=3

bench_build "$build" orsank_loop taglib_loop Orsank Velmor

formats=(mp3 m4a wav wma flac ogg opus)
codec() {
  case $1 in
    mp3) echo "-ac 2 -c:a libmp3lame -b:a 128k -id3v2_version 4" ;;
    m4a) echo "-ac 2 -c:a aac -b:a 128k" ;;
    wav) echo "-ac 2 -c:a pcm_s16le" ;;
    wma) echo "-ac 2 -c:a wmav2 -b:a 128k" ;;
    flac) echo "-ac 2 -c:a flac" ;;
    ogg) echo "-ac 2 -c:a libvorbis -q:a 4" ;;
    opus) echo "-ac 2 -c:a libopus -b:a 96k" ;;
  esac
}
mkdir -p "$data"
for ext in "${formats[@]}"; do
  song=$data/song.$ext
  if [ ! -s "$song" ]; then
    date=(-metadata "date=2011-03-04")
    [ "$ext" = wma ] && date=(-metadata "WM/Year=2011")
    # shellcheck disable=SC2046
    ffmpeg -nostdin -loglevel error -y -f lavfi \
      -i "sine=f=330:d=240:r=44100,aformat=channel_layouts=stereo" -map_metadata -1 \
      $(codec "$ext") -metadata "title=Song of the $ext Benchmark" \
      -metadata "artist=Zarvell Ensemble" -metadata "album=Benchmark Sessions" \
      -metadata "genre=Ambient" "${date[@]}" "$song"
  fi
  mkdir -p "$data/$ext"
  for ((i = 0; i < links; i++)); do
    [ -e "$data/$ext/$i.$ext" ] || ln "$song" "$data/$ext/$i.$ext"
  done
done

declare -A lists
mixed=()
for ext in "${formats[@]}"; do
  lists[$ext]=$(printf '%s\n' "$data/$ext"/*."$ext")
done
# The mixed list interleaves the formats.
for ((i = 0; i < links; i++)); do
  for ext in "${formats[@]}"; do mixed+=("$data/$ext/$i.$ext"); done
done

cat "$data"/song.* >/dev/null  # warm cache
echo "bench-orsank: ${#formats[@]} formats x $links names, $pairs pairs, fastest of $passes passes per run"
echo "bench-orsank: load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
orsank_run() { ZARVELL_PROGRAM_DIR=$build/program "$build/bench/orsank/orsank_loop" "$passes" "$@"; }
taglib_run() { "$build/bench/orsank/taglib_loop" "$passes" "$@"; }

# pair LIST... -> "taglib_cpu taglib_wall taglib_sum orsank_cpu orsank_wall orsank_sum"
# for one paired run, order set by $order.
pair() {
  local t o
  if [ "$order" -eq 0 ]; then
    t=$(taglib_run "$@"); o=$(orsank_run "$@")
  else
    o=$(orsank_run "$@"); t=$(taglib_run "$@")
  fi
  echo "${t#taglib } ${o#orsank }"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# report NAME RESULTS: one line per list; the last line printed is the processor-time ratio.
report() {
  local name=$1 results=$2
  local tc oc rc tw ow rw sums
  tc=$(echo "$results" | awk '{ print $1 }' | median)
  oc=$(echo "$results" | awk '{ print $4 }' | median)
  rc=$(echo "$results" | awk '{ printf "%.4f\n", $4 / $1 }' | median)
  tw=$(echo "$results" | awk '{ print $2 }' | median)
  ow=$(echo "$results" | awk '{ print $5 }' | median)
  rw=$(echo "$results" | awk '{ printf "%.4f\n", $5 / $2 }' | median)
  sums=$(echo "$results" | awk 'NR == 1 { printf "checksums taglib %s orsank %s", $3, $6 }')
  printf "%-6s cpu: taglib %7.0f orsank %7.0f ns/file ratio %.3f | wall: taglib %7.0f orsank %7.0f ratio %.3f (%s)\n" \
    "$name" "$tc" "$oc" "$rc" "$tw" "$ow" "$rw" "$sums"
  echo "$rc"
}

summary=""
for name in mixed "${formats[@]}"; do
  results=""
  for ((p = 0; p < pairs; p++)); do
    order=$((p % 2))
    if [ "$name" = mixed ]; then
      line=$(pair "${mixed[@]}")
    else
      mapfile -t files <<<"${lists[$name]}"
      line=$(pair "${files[@]}")
    fi
    results+="$line"$'\n'
  done
  results=${results%$'\n'}
  out=$(report "$name" "$results")
  echo "$out" | head -1
  [ "$name" = mixed ] && summary=$(echo "$out" | tail -1)
done
echo "bench-orsank: load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v r="$summary" 'BEGIN { printf "mixed processor-time ratio orsank / taglib: %.3f (target <= 1.2) %s\n", r, (r <= 1.2) ? "ok" : "MISSED" }'
