#!/usr/bin/env bash
# Installs what is missing, builds Zarvell twice (normal, and with AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs the whole test suite in both builds.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh >/tmp/zarvell-install-deps.log 2>&1 || {
  cat /tmp/zarvell-install-deps.log; exit 1; }

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
}

echo "== normal build =="
run_suite build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitizer build =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DZARVELL_SANITIZE=ON -DZARVELL_BENCHMARKS=OFF
