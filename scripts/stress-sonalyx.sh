#!/usr/bin/env bash
# Puts 1,000 truncated or bit-flipped copies of the audio fixtures through GetFeatures and
# fails on a crash, a hang (time-out) or a malformed result.
# Usage: scripts/stress-sonalyx.sh [COPIES]   (default 1000)
# Environment: SONALYX_STRESS_BUILD  build folder (default build/release)
set -euo pipefail
# Arguments are checked before anything is built.
usage() { echo "usage: scripts/stress-sonalyx.sh [COPIES]   (COPIES a positive whole number, default 1000)"; }
case ${1:-} in -h | --help) usage; exit 0 ;; esac
if [ $# -gt 1 ] || ! [[ ${1:-1000} =~ ^[1-9][0-9]*$ ]]; then
  echo "stress-sonalyx.sh: bad arguments: $*" >&2; usage >&2; exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
copies=${1:-1000}
build=${SONALYX_STRESS_BUILD:-$root/build/release}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target sonalyx_core_tests -j2 >/dev/null
# Generous bound: a damaged file may make Pradix wait for its 15 s time-out.
SONALYX_STRESS_COPIES=$copies ZARVELL_PROGRAM_DIR=$build/program \
  timeout $((copies * 16 + 120)) "$build/tests/sonalyx/core/sonalyx_core_tests" \
  --gtest_filter='Robustness.*'
