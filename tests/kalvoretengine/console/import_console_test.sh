#!/usr/bin/env bash
# The console's importFolder and importFiles on a real folder of tagged files made by
# ffmpeg: results on standard output, progress on standard error, a second import of the
# same folder adding nothing, links followed without looping, a missing folder refused.
# Usage: import_console_test.sh KALVORET
set -uo pipefail
kalvoret=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ZARVELL_HOME=$work/home ZARVELL_COMMUNITY_HOST=127.0.0.1:1
mkdir -p "$work/music/sub" "$work/home"
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }

tone() {  # tone FILE HERTZ TITLE ALBUM
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=$2:duration=6" -ac 1 \
    -map_metadata -1 -metadata title="$3" -metadata artist="Console Artist" \
    -metadata album="$4" "$1" || fail "ffmpeg $1"
}
tone music/a.mp3 440 "Song A" "Console Album"
tone music/B.MP3 550 "Song B" "Console Album"
tone music/sub/c.ogg 660 "Song C" "Other Album"
echo "not audio" >music/notes.txt
ln -s "$work/music" music/sub/loop
real=$(realpath "$work/music")

printf 'importFolder music\nimportFolder music\nimportFolder missing\nsaveNet net.xml\n' >script.kal
"$kalvoret" script.kal >out.txt 2>err.txt
status=$?
[ "$status" -eq 1 ] || fail "exit status $status, expected 1 (the missing folder)"
expect() { grep -qxF -- "$1" out.txt || fail "no line '$1' in: $(cat out.txt)"; }
expect "importFolder music => 1 files=3"
[ "$(grep -c 'importFolder music => 1 files=3' out.txt)" -eq 2 ] || fail "second import differs"
grep -q '^importFolder missing => error: not a readable folder: ' out.txt || fail "missing folder accepted"
grep -q '^progress 1/4 0/4 Scanning meta data$' err.txt || fail "no start of the tag scan on stderr"
grep -q "^progress 1/4 1/4 Scanning meta data: $real/B.MP3\$" err.txt || fail "no file line on stderr"
grep -q '^progress 1/4 3/4 Scanning meta data: found 3 items$' err.txt || fail "no count on stderr"
grep -q '^progress 2/4 .* Analyzing Media: Initializing Engine...$' err.txt || fail "no analysis on stderr"
grep -q '^progress 3/4 .* Creating nodes: Song C$' err.txt || fail "no node building on stderr"
grep -q '^progress 3/3 .* Inserting Nodes...$' err.txt || fail "no insertion on stderr"

# The network holds the three songs once, with their tag titles.
printf 'getNodeByPath "%s"\ngetNodeByPath "%s"\ngetNodeByPath "%s"\n' \
  "$real/a.mp3" "$real/B.MP3" "$real/sub/c.ogg" >find.kal
printf 'loadNet net.xml\n' | cat - find.kal >find2.kal
"$kalvoret" find2.kal >found.txt 2>/dev/null || fail "songs not found: $(cat found.txt)"
[ "$(grep -c '=> #' found.txt)" -eq 3 ] || fail "expected three songs: $(cat found.txt)"
ids=$(sed -n 's/.*=> #\([0-9]*\)$/\1/p' found.txt | tr '\n' ' ')
names=""
for id in $ids; do names="$names$(printf 'loadNet net.xml\ngetNodeName %s\n' "$id" | "$kalvoret" 2>/dev/null | tail -n1 | sed 's/.*=> //')"; done
[ "$names" = '"Song A""Song B""Song C"' ] || fail "titles: $names"

# importFiles takes the listed files as they are.
printf 'importFiles music/a.mp3 music/sub/c.ogg\n' >files.kal
"$kalvoret" files.kal >files.txt 2>/dev/null || fail "importFiles: $(cat files.txt)"
grep -qxF 'importFiles music/a.mp3 music/sub/c.ogg => 1 files=2' files.txt || fail "importFiles: $(cat files.txt)"
exit $failed
