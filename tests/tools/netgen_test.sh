#!/usr/bin/env bash
# kalvoret-netgen --out writes a network file that the engine loads whole; a save that
# cannot succeed, or bad arguments, end with an error and a non-zero status.
# Usage: netgen_test.sh KALVORET_NETGEN KALVORET
set -uo pipefail
netgen=$1
kalvoret=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }

"$netgen" --songs 40 --albums 4 --artists 3 --links 200 --seed 7 --out net.xml >out.txt 2>err.txt ||
  fail "generating with --out: exit status $?: $(cat err.txt)"
grep -qx 'saved net.xml' out.txt || fail "no 'saved' line: $(cat out.txt)"
grep -q 'Saving net \.\.\. done\.' err.txt || fail "the engine's save line is not on standard error"
nodes=$(sed -n 's/^nodes //p' out.txt)
[ "$nodes" = 47 ] || fail "expected 47 nodes, the report says '$nodes'"
# Every generated node is in the file and the engine reads it back.
[ "$(grep -c '<song ' net.xml)" -eq 40 ] || fail "the file does not hold 40 songs"
printf 'loadNet net.xml\ngetNodeType 1\ngetNodeType 4\ngetNodeType 8\n' |
  ZARVELL_HOME=$work/home "$kalvoret" >load.txt 2>/dev/null || fail "loading the file failed: $(cat load.txt)"
[ "$(cat load.txt)" = "loadNet net.xml => 1 \"$work/net.xml\"
getNodeType 1 => 4
getNodeType 4 => 2
getNodeType 8 => 1" ] || fail "the loaded network differs: $(cat load.txt)"

"$netgen" --songs 10 --albums 1 --artists 1 --links 20 --out "$work/no/such/folder/net.xml" \
  >/dev/null 2>err.txt
status=$?
[ "$status" -eq 1 ] || fail "a failed save exits with $status, expected 1"
grep -q 'cannot save the network' err.txt || fail "a failed save gives no reason: $(cat err.txt)"
"$netgen" --bogus >/dev/null 2>err.txt
[ $? -eq 2 ] && grep -q '^usage: kalvoret-netgen' err.txt || fail "a bad argument does not give usage and 2"
"$netgen" --help >out.txt 2>/dev/null && grep -q -- '--out FILE' out.txt || fail "--help does not show --out"
[ $failed -eq 0 ] && echo "netgen: all checks passed"
exit $failed
