#!/usr/bin/env bash
# Feature store benchmarks: reading a store of 100,000 records (33 MB) with values against
# reading the same file with one read() into memory (target: at most 3x), reading only the
# index, and the normalised lookup of all 100,000 songs (first, then cached).
# usage: scripts/bench-features.sh [extra Google Benchmark flags]
# Build folder: $BENCH_BUILD_DIR (default build/bench-features, RelWithDebInfo).
set -euo pipefail
# Arguments are checked before anything is built.
usage() { echo "usage: scripts/bench-features.sh [--benchmark_...]   (Google Benchmark flags)"; }
for arg in "$@"; do
  case $arg in
    -h | --help) usage; exit 0 ;;
    --benchmark_*) ;;
    *) echo "bench-features.sh: not a Google Benchmark flag: $arg" >&2; usage >&2; exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build/bench-features}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVELL_BENCHMARKS=ON \
  -DZARVELL_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_features -j2
csv="$build/bench_features.csv"
"$build/bench/features/bench_features" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_out="$csv" --benchmark_out_format=csv "$@"
# Ratio of the medians: reading with values / one read of the bytes.
awk -F, '/BM_ReadBytesOnce\/real_time_median/ {b=$3} /BM_ReadStoreWithValues\/real_time_median/ {v=$3}
  END { if (b > 0) printf "read with values / one read of the bytes: %.2fx (target <= 3x)\n", v / b }' \
  "$csv"
