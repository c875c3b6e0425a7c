#!/usr/bin/env bash
# Network file benchmark on the 100,000-song synthetic network (tools/netgen): saveNet
# against writing the same bytes with one write plus fsync (target: at most 2x), loadNet
# against expat's own xmlwf parsing the same file (target: at most 2x), and the peak
# memory of the load.
# usage: scripts/bench-network.sh [RUNS]   (medians of RUNS, default 3)
# Build folder: $BENCH_BUILD_DIR (default build/bench-network, RelWithDebInfo). The file is
# written to $BENCH_NET_FILE (default <build>/network-100k.xml).
set -euo pipefail
# Arguments are checked before anything is built.
usage() { echo "usage: scripts/bench-network.sh [RUNS]   (RUNS a positive whole number, default 3)"; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
if [ $# -gt 1 ] || ! [[ ${1:-3} =~ ^[1-9][0-9]*$ ]]; then
  echo "bench-network.sh: bad arguments: $*" >&2; usage >&2; exit 2
fi
cd "$(dirname "$0")/.."
runs=${1:-3}
build=${BENCH_BUILD_DIR:-build/bench-network}
file=${BENCH_NET_FILE:-$build/network-100k.xml}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVELL_BENCHMARKS=ON \
  -DZARVELL_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_network -j2
bench="$build/bench/network/bench_network"

"$bench" save "$file" "$runs"
load_out=$("$bench" load "$file" "$runs")
echo "$load_out"

# xmlwf: expat's own well-formedness checker, parsing the same file (median of RUNS).
xml_times=()
for _ in $(seq "$runs"); do
  start=$(date +%s.%N)
  xmlwf "$file" >/dev/null
  end=$(date +%s.%N)
  xml_times+=("$(echo "$end - $start" | bc -l)")
done
xml=$(printf '%s\n' "${xml_times[@]}" | sort -g | sed -n "$(( (runs + 1) / 2 ))p")
load=$(echo "$load_out" | awk '/^loadNet seconds/ {print $3}')
printf 'xmlwf seconds %.3f\nload / xmlwf %.2fx (target <= 2x)\n' "$xml" "$(echo "$load / $xml" | bc -l)"
