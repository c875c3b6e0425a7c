#!/bin/sh
# Builds the engine benchmark in build/bench (Release) and runs it on a generated network
# of 100,000 songs (about 1,000,000 links, fixed seed). Extra arguments go to Google
# Benchmark (for example --benchmark_filter=Play).
# Targets: one play (onPlay + boost) below 5 ms median, pickNextNode below 1 ms median (p99 at
# most 5 ms, no call over 20 ms), createPalette at most 0.5 s, resident
# memory of the loaded network below 150 MB.
set -eu
# Arguments are checked before anything is built.
usage() { echo "usage: scripts/bench-engine.sh [--benchmark_...]   (Google Benchmark flags)"; }
for arg in "$@"; do
  case $arg in
    -h | --help) usage; exit 0 ;;
    --benchmark_*) ;;
    *) echo "bench-engine.sh: not a Google Benchmark flag: $arg" >&2; usage >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
BENCH_BUILD_TYPE=${BENCH_BUILD_TYPE:-Release} bench_build "$root/build/bench" bench_engine
exec "$root/build/bench/bench/engine/bench_engine" "$@"
