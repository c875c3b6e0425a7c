#!/usr/bin/env bash
# Builds the iTunes library reader's fuzz target with clang and runs it for SECONDS
# (default 600). Each input is read whole, read again in 7-byte pieces (the entries must be
# the same) and read once more with a progress callback that refuses one report (nothing may
# be kept); a crash, a sanitizer report or a broken rule stops the run. Inputs reach 1 MB
# (-max_len), so deep nesting and long texts are within reach; fuzz/itunes/itunes.dict gives
# the format's words.
# usage: scripts/fuzz-itunes.sh [SECONDS]
# Build folder: $FUZZ_BUILD_DIR (default build/fuzz-itunes). The corpus grows in
# <build>/corpus-itunes, seeded from fuzz/itunes/seeds; crashes land in
# <build>/crashes-itunes. Exits non-zero when the target finds a crash, 2 on bad usage.
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
count_argument SECONDS 600 "$@"
seconds=$COUNT
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build/fuzz-itunes}
max_len=$((1024 * 1024))

fuzz_build "$build" fuzz_itunes

corpus="$build/corpus-itunes"
crashes="$build/crashes-itunes"
mkdir -p "$corpus" "$crashes"
log="$build/fuzz_itunes.log"
echo "== fuzz_itunes for ${seconds}s (log: $log)"
status=0
if ! "$build/fuzz/itunes/fuzz_itunes" -max_total_time="$seconds" -timeout=30 \
    -max_len="$max_len" -dict=fuzz/itunes/itunes.dict -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$corpus" fuzz/itunes/seeds >/dev/null 2>"$log"; then
  status=1
  echo "fuzz_itunes FOUND A CRASH:"; grep -m5 -E "ERROR|runtime error|differs|kept|rules|SUMMARY" "$log" || true
fi
grep -E "stat::number_of_executed_units|stat::new_units_added|cov:" "$log" | tail -3 || true
exit $status
