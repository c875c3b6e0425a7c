#!/bin/sh
# Builds the feature-library benchmark in build/bench (Release) and runs it. Extra
# arguments go to Google Benchmark (for example --benchmark_repetitions=5).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZARVELL_BENCHMARKS=ON -DZARVELL_TESTS=OFF >/dev/null
cmake --build "$root/build/bench" --target bench_bextract -j2
exec "$root/build/bench/bench/bextract/bench_bextract" "$@"
