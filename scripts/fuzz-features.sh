#!/usr/bin/env bash
# Builds the feature-file fuzz targets with clang and runs each for SECONDS (default 600):
#   fuzz_features_xml    the features XML / normaliser file reader (and the writer's output)
#   fuzz_features_store  the binary feature store reader (and appending after it)
# usage: scripts/fuzz-features.sh [SECONDS] [xml|store|all]
# Build folder: $FUZZ_BUILD_DIR (default build/fuzz-features). Corpora grow in
# <build>/corpus-<target>, seeded from fuzz/features/seeds-<target>; crashes land in
# <build>/crashes-<target>. Each target uses its dictionary fuzz/features/<target>.dict and
# inputs of up to 1 MB. Exits non-zero when a target finds a crash.
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
usage() { sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; }
case "${1:-}" in -h|--help) usage; exit 0 ;; esac
if [ $# -gt 2 ]; then
  echo "fuzz-features.sh: at most two arguments" >&2; usage >&2; exit 2
fi
seconds=${1:-600}
which=${2:-all}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz-features.sh: SECONDS must be a positive whole number, not '$seconds'" >&2
  usage >&2; exit 2
fi
case "$which" in
  xml|store|all) ;;
  *) echo "fuzz-features.sh: unknown target '$which' (xml, store or all)" >&2; usage >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build/fuzz-features}
targets=(xml store)
[ "$which" = all ] || targets=("$which")

fuzz_build "$build" "${targets[@]/#/fuzz_features_}"

status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus-$target"
  crashes="$build/crashes-$target"
  mkdir -p "$corpus" "$crashes"
  log="$build/fuzz_features_$target.log"
  echo "== fuzz_features_$target for ${seconds}s (log: $log)"
  # The code under test writes console warnings to standard output: keep them out.
  if ! "$build/fuzz/features/fuzz_features_$target" -max_total_time="$seconds" -timeout=10 \
      -max_len=1048576 -rss_limit_mb=2048 -dict="fuzz/features/$target.dict" \
      -print_final_stats=1 -artifact_prefix="$crashes/" \
      "$corpus" "fuzz/features/seeds-$target" >/dev/null 2>"$log"; then
    status=1
    echo "fuzz_features_$target FOUND A CRASH:"; grep -m5 -E "ERROR|invariant|SUMMARY" "$log" || true
  fi
  grep -E "stat::number_of_executed_units|stat::new_units_added|cov:" "$log" | tail -3 || true
done
exit $status
