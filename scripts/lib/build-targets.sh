# Sourced by the benchmark and fuzzing scripts, which each build a few targets in a folder
# of their own:
#   bench_build DIR TARGET...   an optimised build with the benchmarks and without the
#                               tests; the build type is BENCH_BUILD_TYPE (default
#                               RelWithDebInfo)
#   fuzz_build DIR TARGET...    a clang build with the fuzzers, without tests or benchmarks
# Both configure DIR (again, cheaply, when it exists; not at all when BUILD_AS_CONFIGURED=1
# and DIR holds a build already) and build only the TARGETs. The compiler's output is kept
# out of the figures: it is shown only when the configuration or the build fails, and then
# the calling script exits with that status.

# The source tree, fixed when this file is sourced (the caller may change folder later).
build_targets_source=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# build_quietly DIR CMAKE-ARGS... -- TARGET...
build_quietly() {
  local dir=$1 log status=0
  shift
  local -a configure=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do configure+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  targets=("$@")
  log=$(mktemp)
  echo "building ${targets[*]} in $dir" >&2
  { if [ "${BUILD_AS_CONFIGURED:-0}" = 1 ] && [ -f "$dir/build.ninja" ]; then :; else
      cmake -S "$build_targets_source" -B "$dir" -G Ninja "${configure[@]}"; fi &&
      cmake --build "$dir" --target "${targets[@]}" -j "$(nproc)"; } >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "build of ${targets[*]} in $dir failed (status $status)" >&2
    rm -f "$log"
    exit "$status"
  fi
  rm -f "$log"
}

bench_build() {
  local dir=$1
  shift
  build_quietly "$dir" -DCMAKE_BUILD_TYPE="${BENCH_BUILD_TYPE:-RelWithDebInfo}" \
    -DZARVELL_BENCHMARKS=ON -DZARVELL_TESTS=OFF -- "$@"
}

fuzz_build() {
  local dir=$1
  shift
  CC=clang CXX=clang++ build_quietly "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZARVELL_FUZZERS=ON -DZARVELL_TESTS=OFF -DZARVELL_BENCHMARKS=OFF -- "$@"
}
