#!/usr/bin/env bash
# Puts 1,000 truncated or bit-flipped copies of the audio fixtures through GetFeatures and
# fails on a crash, a hang (time-out) or a malformed result.
# Usage: scripts/stress-sonalyx.sh [COPIES]   (default 1000)
# Environment: SONALYX_STRESS_BUILD  build folder (default build/release); a sanitizer
# build (-DZARVELL_SANITIZE=ON) runs with the project's LeakSanitizer suppressions for the
# process-lifetime memory of GStreamer's libraries, as the test suite does.
set -euo pipefail
source "$(dirname "$0")/lib/count-argument.sh"
count_argument COPIES 1000 "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
copies=$COUNT
build=${SONALYX_STRESS_BUILD:-$root/build/release}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target sonalyx_core_tests -j2 >/dev/null
lsan="suppressions=$root/tests/support/lsan.supp:fast_unwind_on_malloc=0:malloc_context_size=8"
# Generous bound: a damaged file may make Pradix wait for its 15 s time-out.
SONALYX_STRESS_COPIES=$copies ZARVELL_PROGRAM_DIR=$build/program \
  LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}$lsan" \
  timeout $((copies * 16 + 120)) "$build/tests/sonalyx/core/sonalyx_core_tests" \
  --gtest_filter='Robustness.*'
