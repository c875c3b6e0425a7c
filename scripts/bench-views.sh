#!/usr/bin/env bash
# Benchmarks the node list views on a 100,000-song network (Google Benchmark), each beside
# its reference in the same process:
#   RefreshAllViews      the main tab page re-reading suggestions (the engine's whole
#                        hotlist), queue and history (10,000 entries); target < 16 ms
#   ReadListsReference   the engine calls of that re-read alone
#   HistoryScrollRepaint one page scrolled in the history and the view drawn into an
#                        image; target < 16 ms per repaint
#   PlainTableRepaint    the same drawing by a plain Qt table on the same texts
# The views_kib counter is the heap the tab page adds.
#
# Usage: scripts/bench-views.sh [RUNS]    (default 5 repetitions; medians reported)
# Environment: VIEWS_BENCH_BUILD  build folder (default build/bench-views)
# Close other work first: figures move with the load (printed).
set -euo pipefail
source "$(dirname "$0")/lib/build-targets.sh"
source "$(dirname "$0")/lib/count-argument.sh"
count_argument RUNS 5 "$@"
runs=$COUNT
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIEWS_BENCH_BUILD:-$root/build/bench-views}

bench_build "$build" views_bench program kalvoret-netgen
network=$build/network-100k.xml
[ -s "$network" ] || "$build/program/kalvoret-netgen" --out "$network" >/dev/null 2>&1

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export ZARVELL_HOME=$home ZARVELL_PROGRAM_DIR=$build/program ZARVELL_AUDIO_SINK=fake \
  QT_QPA_PLATFORM=offscreen ZARVELL_VIEWS_NETWORK=$network
cd "$home"
echo "bench-views: $runs repetitions, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/app/views_bench" --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true 2>&1 | grep -E "^views_bench:|_median"
echo "bench-views: load average after $(cut -d' ' -f1-3 /proc/loadavg)"
