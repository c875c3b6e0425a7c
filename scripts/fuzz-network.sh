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
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
count_argument SECONDS 600 "$@"
seconds=$COUNT
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build/fuzz-network}
max_len=$((1024 * 1024))

fuzz_build "$build" fuzz_network

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
