#!/usr/bin/env bash
# Link-inference benchmarks: link quality on the reference collection's held-out part
# (mean Jaccard of each song's five most similar held-out songs, beside random pairs and
# the Euclidean distance on z-scored features; target >= 0.50), the similarity per pair on
# both paths beside libsvm's own prediction on the same vectors, the full inference on
# 1,000 and 10,000 synthetic songs (target <= 3 ms per visited song at 10,000), and the
# merge of 100 new songs into 100,000.
# usage: scripts/bench-inference.sh [--large]
#   --large  also the full inference on 50,000 songs (several minutes on a loaded machine)
# Environment: BENCH_RUNS paired runs of the similarity and full-inference figures
# (default 3); BENCH_BUILD_DIR build folder (default build/bench-inference, RelWithDebInfo).
# Prints every run's lines, then the medians ("median ..." lines) and the load average.
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
usage() { sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; }
large=0
case "${1:-}" in
  "") ;;
  --large) large=1 ;;
  -h|--help) usage; exit 0 ;;
  *) echo "bench-inference.sh: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
esac
runs=${BENCH_RUNS:-3}
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
  echo "BENCH_RUNS must be a positive whole number, not '$runs'" >&2; usage >&2; exit 2
fi
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build/bench-inference}
bench_build "$build" bench_inference shipped_models
program="$build/bench/inference/bench_inference"
export ZARVELL_PROGRAM_DIR=$PWD/$build/program
out=$(mktemp)
trap 'rm -f "$out"' EXIT
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"

# The quality figures are deterministic: one run.
"$program" quality 2>/dev/null | tee -a "$out"
for run in $(seq 1 "$runs"); do
  "$program" similarity 20000 2>/dev/null | tee -a "$out"
  "$program" full 1000 2>/dev/null | tee -a "$out"
  "$program" full 10000 2>/dev/null | tee -a "$out"
done
"$program" merge 100000 100 2>/dev/null | tee -a "$out"
if [ "$large" = 1 ]; then "$program" full 50000 2>/dev/null | tee -a "$out"; fi

# median PATTERN FIELD: the median of the FIELD-th word of the lines matching PATTERN.
median() {
  grep -E "$1" "$out" | awk -v f="$2" '{ print $f }' | sort -g |
    awk '{ a[NR] = $1 } END { if (NR) print a[int((NR + 1) / 2)]; else print "-" }'
}
echo
echo "median similarity pairwise path us/pair: $(median '^similarity pairwise path' 4) (libsvm on the same vectors: $(median '^similarity pairwise path' 12))"
echo "median similarity with CVs us/pair: $(median '^similarity with CVs' 4)"
for n in 1000 10000 50000; do
  if grep -q "^full $n songs: [0-9]" "$out"; then
    echo "median full $n ms per visited song: $(median "^full $n songs: [0-9]" 6) (processor time $(median "^full $n songs: [0-9]" 13))"
  fi
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
