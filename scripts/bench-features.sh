#!/usr/bin/env bash
# Feature store benchmarks: reading a store of 100,000 records (33 MB) with values against
# reading the same file with one read() into memory (target: at most 3x in every run),
# reading only the index, and the normalised lookup of all 100,000 songs (first, then
# cached).
# usage: scripts/bench-features.sh [extra Google Benchmark flags]
# Environment: BENCH_RUNS paired runs (default 5); BENCH_BUILD_DIR build folder (default
# build/bench-features, RelWithDebInfo).
# Each run starts the benchmark program twice: the whole program (the read is measured
# first, and again after the lookups), then the read and its reference alone. Each ratio
# is a median of 5 repetitions; the report gives every run, the median and the worst,
# with the load average.
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
usage() { sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; }
case "${1:-}" in -h|--help) usage; exit 0 ;; esac
runs=${BENCH_RUNS:-5}
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
  echo "BENCH_RUNS must be a positive whole number, not '$runs'" >&2; usage >&2; exit 2
fi
for arg in "$@"; do
  case $arg in
    --benchmark_*) ;;
    *) echo "bench-features.sh: not a Google Benchmark flag: $arg" >&2; usage >&2; exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build/bench-features}
bench_build "$build" bench_features
program="$build/bench/features/bench_features"
csv="$build/bench_features.csv"
alone="$build/bench_features_alone.csv"

# ratio CSV REFERENCE MEASURE: median of MEASURE / median of REFERENCE, or "-".
ratio() {
  awk -F, -v ref="\"$2/real_time_median\"" -v got="\"$3/real_time_median\"" \
    '$1 == ref {b=$3} $1 == got {v=$3} END { if (b > 0 && v > 0) printf "%.2f", v / b; else print "-" }' "$1"
}

full=() after=() single=()
for run in $(seq 1 "$runs"); do
  "$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$csv" --benchmark_out_format=csv "$@"
  "$program" --benchmark_filter='^BM_(ReadBytesOnce|ReadStoreWithValues)/' \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$alone" --benchmark_out_format=csv "$@" >/dev/null
  full+=("$(ratio "$csv" BM_ReadBytesOnce BM_ReadStoreWithValues)")
  after+=("$(ratio "$csv" BM_ReadBytesOnceAfterLookups BM_ReadStoreWithValuesAfterLookups)")
  single+=("$(ratio "$alone" BM_ReadBytesOnce BM_ReadStoreWithValues)")
  printf "run %d: read with values / one read of the bytes: first %sx, after the lookups %sx, alone %sx (load %s)\n" \
    "$run" "${full[-1]}" "${after[-1]}" "${single[-1]}" "$(cut -d' ' -f1-3 /proc/loadavg)"
done
# median WORDS...: the middle value (the lower middle for an even count).
median() { printf "%s\n" "$@" | grep -v '^-$' | sort -g | awk '{a[NR]=$1} END { if (NR) print a[int((NR+1)/2)]; else print "-" }'; }
worst() { printf "%s\n" "$@" | grep -v '^-$' | sort -g | tail -1; }
printf "read with values / one read of the bytes: %sx (target <= 3x)\n" "$(median "${full[@]}")"
printf "read with values / one read of the bytes, median of %d runs: first %sx, after the lookups %sx, alone %sx\n" \
  "$runs" "$(median "${full[@]}")" "$(median "${after[@]}")" "$(median "${single[@]}")"
printf "read with values / one read of the bytes, worst run: %sx (target <= 3x in every run)\n" \
  "$(worst "${full[@]}" "${after[@]}" "${single[@]}")"
