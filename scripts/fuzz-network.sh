#!/usr/bin/env bash
# Builds the network file fuzz target with clang and runs it for SECONDS (default 600).
# Each input is read into a real engine, written, read and written again; a crash, a
# sanitizer report or a second text that differs from the first stops the run. Inputs
# reach 1 MB (-max_len), so size attacks (long attribute lists, far track positions) are
# within reach; fuzz/network/network.dict gives the format's words.
# usage: scripts/fuzz-network.sh [SECONDS]
# Build folder: $FUZZ_BUILD_DIR (default build/fuzz-network). The corpus grows in
# <build>/corpus-network, seeded from fuzz/network/seeds; crashes land in
# <build>/crashes-network. Exits non-zero when the target finds a crash, 2 on bad usage.
set -euo pipefail
# Arguments are checked before anything is built.
usage() { echo "usage: scripts/fuzz-network.sh [SECONDS]   (SECONDS a positive whole number, default 600)"; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
if [ $# -gt 1 ] || ! [[ ${1:-600} =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz-network.sh: bad arguments: $*" >&2; usage >&2; exit 2
fi
cd "$(dirname "$0")/.."
usage() {
  echo "usage: scripts/fuzz-network.sh [SECONDS]   (a whole number of seconds above 0, default 600)" >&2
  exit 2
}
[ $# -le 1 ] || usage
seconds=${1:-600}
[[ "$seconds" =~ ^[0-9]+$ ]] && [ "$seconds" -gt 0 ] || usage
build=${FUZZ_BUILD_DIR:-build/fuzz-network}
max_len=$((1024 * 1024))

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZARVELL_FUZZERS=ON -DZARVELL_TESTS=OFF -DZARVELL_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target fuzz_network -j2

corpus="$build/corpus-network"
crashes="$build/crashes-network"
mkdir -p "$corpus" "$crashes"
log="$build/fuzz_network.log"
echo "== fuzz_network for ${seconds}s (log: $log)"
status=0
# The engine writes console lines to standard output: keep them out.
if ! "$build/fuzz/network/fuzz_network" -max_total_time="$seconds" -timeout=30 \
    -max_len="$max_len" -dict=fuzz/network/network.dict -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$corpus" fuzz/network/seeds >/dev/null 2>"$log"; then
  status=1
  echo "fuzz_network FOUND A CRASH:"; grep -m5 -E "ERROR|runtime error|round trip|SUMMARY" "$log" || true
fi
grep -E "stat::number_of_executed_units|stat::new_units_added|cov:" "$log" | tail -3 || true
exit $status
