#!/bin/sh
# Builds the feature-library benchmark and runs it. Extra arguments go to Google Benchmark
# (for example --benchmark_repetitions=5).
# Environment: BEXTRACT_BENCH_BUILD       build folder (default build/bench-bextract)
#              BEXTRACT_BENCH_BUILD_TYPE  CMake build type (default RelWithDebInfo, what the
#                                         program ships as)
#              BEXTRACT_BENCH_INPUT       raw s16le mono 22,050 Hz file to analyse instead
#                                         of the built-in song-like signal
set -eu
# Arguments are checked before anything is built.
usage() { echo "usage: scripts/bench-bextract.sh [--benchmark_...]   (Google Benchmark flags)"; }
for arg in "$@"; do
  case $arg in
    -h | --help) usage; exit 0 ;;
    --benchmark_*) ;;
    *) echo "bench-bextract.sh: not a Google Benchmark flag: $arg" >&2; usage >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BEXTRACT_BENCH_BUILD:-$root/build/bench-bextract}
BENCH_BUILD_TYPE=${BEXTRACT_BENCH_BUILD_TYPE:-RelWithDebInfo} bench_build "$build" bench_bextract
exec "$build/bench/bextract/bench_bextract" "$@"
