#!/usr/bin/env bash
# Network file benchmark on the 100,000-song synthetic network (tools/netgen): saveNet
# against writing the same bytes with one write plus fsync (target: at most 2x), loadNet
# against expat's own xmlwf parsing the same file (target: at most 2x), and the peak
# memory of the load.
#
# Every comparison is made in paired runs (the reference right before the measure), and
# medians are reported:
#   - save: inside bench_network, RUNS pairs of one plain write+fsync and one saveNet;
#   - load in-process: bench_network's loadNet time against xmlwf's whole run;
#   - load as whole processes: the engine console (kalvoret, running "loadNet PATH"),
#     start-up and teardown included, against xmlwf FILE, both timed from outside.
# usage: scripts/bench-network.sh [RUNS]   (pairs per comparison, default 9)
# Build folder: $BENCH_BUILD_DIR (default build/bench-network, RelWithDebInfo). The file is
# written to $BENCH_NET_FILE (default <build>/network-100k.xml).
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
count_argument RUNS 9 "$@"
runs=$COUNT
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build/bench-network}
file=${BENCH_NET_FILE:-$build/network-100k.xml}
bench_build "$build" bench_network kalvoret
bench="$build/bench/network/bench_network"
console="$build/program/kalvoret"
file=$(realpath -m "$file")

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$bench" save "$file" "$runs"

now() { date +%s.%N; }
median() { sort -g | sed -n "$(( (runs + 1) / 2 ))p"; }
# Seconds of one whole process run of "$@" (output discarded).
timed() {
  local start end
  start=$(now)
  "$@" >/dev/null 2>&1
  end=$(now)
  echo "$end - $start" | bc -l
}

# In-process: bench_network's own loadNet time, each run paired with one xmlwf run.
load_times=() xml_times=() pair_ratios=() load_out=""
for _ in $(seq "$runs"); do
  xml=$(timed xmlwf "$file")
  load_out=$("$bench" load "$file" 1)
  load=$(echo "$load_out" | awk '/^loadNet seconds/ {print $3}')
  xml_times+=("$xml")
  load_times+=("$load")
  pair_ratios+=("$(echo "$load / $xml" | bc -l)")
done
load=$(printf '%s\n' "${load_times[@]}" | median)
xml=$(printf '%s\n' "${xml_times[@]}" | median)
echo "$load_out" | sed "s/^loadNet seconds .*/loadNet seconds $load (median of $runs runs)/"
printf 'xmlwf seconds %.3f\nload / xmlwf %.2fx (target <= 2x)\n' "$xml" "$(echo "$load / $xml" | bc -l)"
printf 'paired load / xmlwf %.2fx median of %d pairs (target <= 2x)\n' \
  "$(printf '%s\n' "${pair_ratios[@]}" | median)" "$runs"

# Whole processes: the console loading the file against xmlwf, both timed from outside.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
printf 'loadNet %s\n' "$file" >"$home/load.script"
check=$(ZARVELL_HOME="$home" "$console" "$home/load.script" 2>&1 || true)
if ! grep -qE "=> 1( |$)" <<<"$check"; then
  echo "kalvoret could not load $file" >&2
  exit 1
fi
proc_times=() pxml_times=() proc_ratios=()
for _ in $(seq "$runs"); do
  pxml=$(timed xmlwf "$file")
  proc=$(ZARVELL_HOME="$home" timed "$console" "$home/load.script")
  pxml_times+=("$pxml")
  proc_times+=("$proc")
  proc_ratios+=("$(echo "$proc / $pxml" | bc -l)")
done
printf 'kalvoret loadNet process seconds %.3f\nxmlwf process seconds %.3f\n' \
  "$(printf '%s\n' "${proc_times[@]}" | median)" "$(printf '%s\n' "${pxml_times[@]}" | median)"
printf 'process load / xmlwf %.2fx median of %d pairs (target <= 2x)\n' \
  "$(printf '%s\n' "${proc_ratios[@]}" | median)" "$runs"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
