#!/bin/sh
# Builds the engine benchmark in build/bench (Release) and runs it on a generated network
# of 100,000 songs (about 1,000,000 links, fixed seed). Extra arguments go to Google
# Benchmark (for example --benchmark_filter=Play).
# Targets: one play (onPlay + boost) below 5 ms median, pickNextNode below 1 ms median (p99 at
# most 5 ms, no call over 20 ms), createPalette at most 0.5 s, resident
# memory of the loaded network below 150 MB.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZARVELL_BENCHMARKS=ON -DZARVELL_TESTS=OFF >/dev/null
cmake --build "$root/build/bench" --target bench_engine -j2
exec "$root/build/bench/bench/engine/bench_engine" "$@"
