#!/usr/bin/env bash
# The long kill test of the network file save: a process saving in a loop (alternating a
# small and a 4,000-song network) is killed with SIGKILL at KILLS random moments (default
# 500); after each kill the file on disk must load and equal one of the two networks, and
# the backup must be whole too.
# usage: scripts/stress-network-save.sh [KILLS]
# Build folder: $STRESS_BUILD_DIR (default build/stress-network, RelWithDebInfo).
set -euo pipefail
source "$(dirname "$0")/lib/count-argument.sh"
count_argument KILLS 500 "$@"
cd "$(dirname "$0")/.."
kills=$COUNT
build=${STRESS_BUILD_DIR:-build/stress-network}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVELL_BENCHMARKS=OFF \
  >/dev/null
cmake --build "$build" --target network_file_save_test -j2
NETFILE_KILLS=$kills "$build/tests/qorncore/engine/network_file_save_test" \
  --gtest_filter='NetworkFileSave.KilledSavesLeaveALoadableFile'
