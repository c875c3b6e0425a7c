#!/usr/bin/env bash
# Installs what is missing, builds Zarvell and runs its main job: the engine console
# `kalvoret` on the small network that ships with the project (extra arguments go to it).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh >/tmp/zarvell-install-deps.log 2>&1 || {
  cat /tmp/zarvell-install-deps.log; exit 1; }
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target kalvoret
export ZARVELL_HOME=${ZARVELL_HOME:-$PWD/build/home}
exec build/release/program/kalvoret "${@:-examples/demo.kal}"
