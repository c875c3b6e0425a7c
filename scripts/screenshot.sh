#!/usr/bin/env bash
# Draws the README's screenshot of the main window (docs/screenshot.png) under the offscreen
# platform: a small collection of tagged songs is generated with ffmpeg, imported by the
# engine console (tags, audio analysis, links), and the player shows the resulting network.
# Usage: scripts/screenshot.sh [OUT.png]   (builds what it needs in build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
build=build/release
cmake --build "$build" --target program zarvell-screenshot >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music" "$work/home/networks"
# title|artist|album|tone Hz
songs=(
  "Morning Tide|Ada Lindqvist|Harbour Lights|220" "Salt and Cedar|Ada Lindqvist|Harbour Lights|330"
  "Lantern Walk|Ada Lindqvist|Harbour Lights|440" "Quiet Engines|The Night Ferries|Crossings|262"
  "North Pier|The Night Ferries|Crossings|392" "Last Boat Home|The Night Ferries|Crossings|523"
  "Paper Kites|Marek Hollis|Small Hours|294" "Amber Window|Marek Hollis|Small Hours|349"
  "Slow Orbit|Marek Hollis|Small Hours|466" "Glasshouse|Marek Hollis|Small Hours|587")
i=0
for entry in "${songs[@]}"; do
  IFS='|' read -r title artist album hz <<<"$entry"
  i=$((i + 1))
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=$hz:duration=40" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.05:duration=40" -filter_complex amix=inputs=2 \
    -metadata title="$title" -metadata artist="$artist" -metadata album="$album" \
    -metadata track="$i" -codec:a libmp3lame -b:a 96k "$work/music/$(printf %02d "$i") $title.mp3"
done
printf 'importFolder %s\nsaveNet %s\n' "$work/music" "$work/home/networks/shot.xml" >"$work/script"
ZARVELL_HOME="$work/home" "$build/program/kalvoret" "$work/script" >/dev/null
mkdir -p "$(dirname "$out")"
ZARVELL_HOME="$work/home" ZARVELL_PROGRAM_DIR="$(realpath "$build/program")" ZARVELL_AUDIO_SINK=fake QT_QPA_PLATFORM=offscreen \
  "$build/tools/screenshot/zarvell-screenshot" "$work/home/networks/shot.xml" "$(realpath -m "$out")" 960 680
echo "wrote $out"
