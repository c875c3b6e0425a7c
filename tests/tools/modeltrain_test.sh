#!/usr/bin/env bash
# The model trainer: the same input gives the same files (the build's program folder holds
# the first training), and its arguments are checked.
# Usage: modeltrain_test.sh ZARVELL_TRAIN ARFF PROGRAM_NETWORKS
set -uo pipefail
train=$1
arff=$2
shipped=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

"$train" "$arff" "$work/out" || fail "training failed"
for f in normf.xml hlcinfo model $(sed -n 's/^model \([^ ]*\).*/\1/p' "$work/out/hlcinfo"); do
  [ -s "$work/out/$f" ] || fail "$f was not written"
  cmp -s "$work/out/$f" "$shipped/$f" || fail "$f differs from the build's $shipped/$f"
done
[ "$(grep -c '^model hlc-' "$work/out/hlcinfo")" -eq 6 ] || fail "hlcinfo does not list six models"
grep -q '^label 1 -1$' "$work/out/model" || fail "the pairwise model's first label is not 1"
grep -q '^probA ' "$work/out/model" || fail "the pairwise model has no probability information"
[ "$(grep -c '<normf ' "$work/out/normf.xml")" -eq 72 ] || fail "normf.xml does not hold 72 normalisers"

"$train" "$arff" >/dev/null 2>&1; [ $? -eq 2 ] || fail "a missing folder argument is not a usage error"
printf '@relation x\n@data\n1,2\n' > "$work/bad.arff"
"$train" "$work/bad.arff" "$work/bad" 2>"$work/err.txt"; [ $? -eq 1 ] || fail "a bad collection does not fail"
grep -q 'expected 72 numeric attributes' "$work/err.txt" || fail "no reason given: $(cat "$work/err.txt")"
exit $failed
