#!/usr/bin/env bash
# Installs what is missing, builds Zarvell and runs its main job: the engine console
# `kalvoret` on the small network that ships with the project, or on SCRIPT. SCRIPT and
# the paths inside it resolve against the folder you call this from. Extra arguments go to
# the console (`./run.sh --help`). The build is quiet; its log is shown only on failure.
set -euo pipefail
caller=$PWD
root=$(cd "$(dirname "$0")" && pwd)
log=$root/build/run.log
mkdir -p "$root/build"
if ! "$root/scripts/install-deps.sh" >"$log" 2>&1 ||
   ! cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >>"$log" 2>&1 ||
   ! cmake --build "$root/build/release" -j "$(nproc)" --target kalvoret >>"$log" 2>&1; then
  cat "$log" >&2
  echo "run.sh: the build failed (log: $log)" >&2
  exit 1
fi
export ZARVELL_HOME=${ZARVELL_HOME:-$root/build/home}
cd "$caller"
if [ $# -eq 0 ]; then set -- "$root/examples/demo.kal"; fi
exec "$root/build/release/program/kalvoret" "$@"
