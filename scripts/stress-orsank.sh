#!/usr/bin/env bash
# Runs damaged copies (truncated, bit-flipped, ranges overwritten; a fixed seed, so the
# same copies every run) of every tagged format (MP3, M4A, WAV, WMA, FLAC, Ogg Vorbis,
# Opus) through Orsank.so, each read in a child process with a time-out, and fails on a
# crash, a hang or an answer that breaks the boundary's promises (texts terminated within
# 1,024 bytes and valid UTF-8, empty texts and zeros on failure).
# Usage: scripts/stress-orsank.sh [COPIES]   (copies per format, default 1000)
# Environment: ORSANK_STRESS_BUILD  build folder (default build/release)
#              ORSANK_STRESS_SEED   seed (default 1)
#              ORSANK_STRESS_TIMEOUT  seconds allowed per file (default 10)
# A copy that fails is kept under <build>/orsank-stress/failures/.
set -euo pipefail
source "$(dirname "$0")/lib/count-argument.sh"
count_argument COPIES 1000 "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORSANK_STRESS_BUILD:-$root/build/release}
seed=${ORSANK_STRESS_SEED:-1}
timeout_s=${ORSANK_STRESS_TIMEOUT:-10}
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target orsank_stress -j2 >/dev/null
fixtures=$build/testdata/tags
scratch=$build/orsank-stress
rm -rf "$scratch"
mkdir -p "$scratch"
files=()
for ext in mp3 m4a wav wma flac ogg opus; do files+=("$fixtures/tagged.$ext"); done
echo "stress-orsank: $COUNT damaged copies of each of ${#files[@]} formats, seed $seed," \
  "time-out ${timeout_s} s per file"
start=$(date +%s)
status=0
ZARVELL_PROGRAM_DIR=$build/program "$build/tests/sdks/orsank/orsank_stress" \
  "$COUNT" "$seed" "$timeout_s" "$scratch" "${files[@]}" || status=$?
echo "stress-orsank: $(( $(date +%s) - start )) s; $( [ $status -eq 0 ] && echo "no crash, no hang, every answer well-formed" || echo "FAILED (copies kept in $scratch/failures)")"
exit $status
