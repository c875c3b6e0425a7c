#!/usr/bin/env bash
# Builds the community reply fuzz target with clang and runs it for SECONDS (default 600):
#   fuzz_community_reply  the XML reader of community replies and the download reply parsing
# usage: scripts/fuzz-community.sh [SECONDS]
# Inputs up to 1 MiB (a full 25-song reply is about 25 KB; larger inputs reach the size
# attacks), mutated with the dictionary fuzz/community/community.dict.
# Build folder: $FUZZ_BUILD_DIR (default build/fuzz-community). The corpus grows in
# <build>/corpus-reply, seeded from fuzz/community/seeds; crashes land in
# <build>/crashes-reply. Exits non-zero when the target finds a crash.
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
count_argument SECONDS 600 "$@"
seconds=$COUNT
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build/fuzz-community}

fuzz_build "$build" fuzz_community_reply

corpus="$build/corpus-reply"
crashes="$build/crashes-reply"
mkdir -p "$corpus" "$crashes"
log="$build/fuzz_community_reply.log"
echo "== fuzz_community_reply for ${seconds}s (log: $log)"
status=0
# The reader prints a message for every unknown entity on standard output: keep it out.
if ! "$build/fuzz/community/fuzz_community_reply" -max_total_time="$seconds" -timeout=10 \
    -max_len=1048576 -dict=fuzz/community/community.dict -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$corpus" fuzz/community/seeds >/dev/null 2>"$log"; then
  status=1
  echo "fuzz_community_reply FOUND A CRASH:"; grep -m5 -E "ERROR|SUMMARY" "$log" || true
fi
grep -E "stat::number_of_executed_units|stat::new_units_added|cov:" "$log" | tail -3 || true
exit $status
