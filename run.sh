#!/usr/bin/env bash
# Installs what is missing, builds the program folder and starts the player, `zarvell`,
# with the data folder build/home (or $ZARVELL_HOME). Arguments go to the player
# ("-DEBUG", "-WEB"). Without a display (no $DISPLAY or $WAYLAND_DISPLAY) the player runs on
# Qt's offscreen platform with a silent audio sink, until Ctrl+C or SIGTERM closes it the
# way its Close button does. The build is quiet; its log is shown only on failure.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
log=$root/build/run.log
mkdir -p "$root/build"
if ! "$root/scripts/install-deps.sh" >"$log" 2>&1 ||
   ! cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >>"$log" 2>&1 ||
   ! cmake --build "$root/build/release" -j "$(nproc)" --target program >>"$log" 2>&1; then
  cat "$log" >&2
  echo "run.sh: the build failed (log: $log)" >&2
  exit 1
fi
export ZARVELL_HOME=${ZARVELL_HOME:-$root/build/home}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display; Zarvell runs offscreen and silent (Ctrl+C closes it, saving the network)" >&2
  export QT_QPA_PLATFORM=offscreen
  export ZARVELL_AUDIO_SINK=${ZARVELL_AUDIO_SINK:-fake}
fi
exec "$root/build/release/program/zarvell" "$@"
