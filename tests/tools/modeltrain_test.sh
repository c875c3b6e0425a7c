#!/usr/bin/env bash
# The model trainer: the committed settings give the build's files again, byte for byte;
# hlcinfo lists the models the settings name (ensemble members with their own features);
# the settings search and the cross-fitted score read only the training part; bad
# arguments, collections and settings files are refused with a reason.
# Usage: modeltrain_test.sh ZARVELL_TRAIN ARFF PROGRAM_NETWORKS SETTINGS
set -uo pipefail
train=$1
arff=$2
shipped=$3
settings=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

"$train" "$arff" "$work/out" --settings "$settings" || fail "training failed"
for f in normf.xml hlcinfo model $(sed -n 's/^model \([^ ]*\).*/\1/p' "$work/out/hlcinfo"); do
  [ -s "$work/out/$f" ] || fail "$f was not written"
  cmp -s "$work/out/$f" "$shipped/$f" || fail "$f differs from the build's $shipped/$f"
done
[ "$(grep -c '^model hlc-' "$work/out/hlcinfo")" -eq "$(grep -c '^hlc ' "$settings")" ] ||
  fail "hlcinfo does not list one model per hlc line of $settings"
grep -q '^label 1 -1$' "$work/out/model" || fail "the pairwise model's first label is not 1"
grep -q '^probA ' "$work/out/model" || fail "the pairwise model has no probability information"
[ "$(grep -c '<normf ' "$work/out/normf.xml")" -eq 72 ] || fail "normf.xml does not hold 72 normalisers"

# A hand-written settings file: hlcinfo follows it in order, with each model's features.
cat > "$work/two.txt" <<'END'
# two models
hlc lacks:000001 all 2 0.0138888889
hlc any:100001 rhythm 1 0.125
END
"$train" "$arff" "$work/two" --settings "$work/two.txt" --skip-pairwise || fail "training with two models failed"
[ "$(sed -n 1p "$work/two/hlcinfo")" = "model hlc-not-angry-aggresive $(seq -s, 1 72)" ] ||
  fail "first hlcinfo line: $(sed -n 1p "$work/two/hlcinfo")"
[ "$(sed -n 2p "$work/two/hlcinfo")" = "model hlc-any-amazed-suprised_angry-aggresive-rhythm $(seq -s, 65 72)" ] ||
  fail "second hlcinfo line: $(sed -n 2p "$work/two/hlcinfo")"
[ "$(wc -l < "$work/two/hlcinfo")" -eq 2 ] || fail "hlcinfo holds more than the two models"
grep -q '^label 1 -1$' "$work/two/hlc-any-amazed-suprised_angry-aggresive-rhythm" ||
  fail "an HLC model's first label is not 1"

# An ensemble: its members follow in hlcinfo, each with its own 24 features, and train the
# same files again.
printf 'hlc has:010000 all 1 0\nensemble has:000001 3 24 2 0.08\n' > "$work/ens.txt"
for run in 1 2; do
  "$train" "$arff" "$work/ens$run" --settings "$work/ens.txt" --skip-pairwise ||
    fail "training an ensemble failed"
done
[ "$(sed -n 's/^model \([^ ]*\).*/\1/p' "$work/ens1/hlcinfo" | tr '\n' ' ')" = \
  "hlc-happy-pleased hlc-angry-aggresive-m1 hlc-angry-aggresive-m2 hlc-angry-aggresive-m3 " ] ||
  fail "ensemble hlcinfo: $(cat "$work/ens1/hlcinfo")"
for m in 2 3 4; do
  [ "$(sed -n "${m}p" "$work/ens1/hlcinfo" | cut -d' ' -f3 | tr ',' '\n' | wc -l)" -eq 24 ] ||
    fail "ensemble member line $m does not list 24 features"
done
[ "$(sed -n 2p "$work/ens1/hlcinfo" | cut -d' ' -f3)" != "$(sed -n 3p "$work/ens1/hlcinfo" | cut -d' ' -f3)" ] ||
  fail "two ensemble members read the same features"
for f in hlcinfo hlc-angry-aggresive-m1 hlc-angry-aggresive-m3; do
  cmp -s "$work/ens1/$f" "$work/ens2/$f" || fail "$f is not reproduced"
done

"$train" "$arff" >/dev/null 2>&1; [ $? -eq 2 ] || fail "a missing folder argument is not a usage error"
"$train" --score "$arff" >/dev/null 2>&1; [ $? -eq 2 ] || fail "--score without settings is not a usage error"
"$train" --score "$arff" "$work/ens.txt" --folds 1 >/dev/null 2>&1; [ $? -eq 2 ] ||
  fail "--score with one fold is not a usage error"
"$train" --search "$arff" "$work/s.txt" --spreads 0.5 >/dev/null 2>&1; [ $? -eq 2 ] ||
  fail "a spread below 1 is not a usage error"
printf '@relation x\n@data\n1,2\n' > "$work/bad.arff"
"$train" "$work/bad.arff" "$work/bad" 2>"$work/err.txt"; [ $? -eq 1 ] || fail "a bad collection does not fail"
grep -q 'expected 72 numeric attributes' "$work/err.txt" || fail "no reason given: $(cat "$work/err.txt")"
printf 'hlc has:100000 all 1 0\nhlc has:1000000 all 1 0\n' > "$work/bad.txt"
"$train" "$arff" "$work/badsettings" --settings "$work/bad.txt" 2>"$work/err.txt"; [ $? -eq 1 ] ||
  fail "a bad settings file does not fail"
grep -q 'bad.txt line 2: not a model target' "$work/err.txt" || fail "no line given: $(cat "$work/err.txt")"
[ ! -e "$work/badsettings/hlcinfo" ] || fail "a bad settings file still wrote models"

# The search on a small collection (the first 150 songs): its settings train, and changing
# every held-out song (row index divisible by 3) changes nothing it chooses.
data=$(grep -n '^@data' "$arff" | cut -d: -f1)
head -n $((data + 150)) "$arff" > "$work/small.arff"
awk -v data="$data" -F, 'BEGIN { OFS = "," }
  NR > data { row = NR - data - 1
              if (row % 3 == 0) { for (i = 1; i <= 72; ++i) $i = $i * 3 + 1
                                  for (i = 73; i <= 78; ++i) $i = 1 - $i
                                  if ($73 + $74 + $75 + $76 + $77 + $78 == 0) $73 = 1 } }
  { print }' "$work/small.arff" > "$work/changed.arff"
cmp -s "$work/small.arff" "$work/changed.arff" && fail "the held-out rows were not changed"
search() { "$train" --search "$1" "$2" --folds 2 --repeats 1 --spreads 1,2 > "$2.table"; }
search "$work/small.arff" "$work/small.txt" || fail "the search failed: $(cat "$work/small.txt.table")"
search "$work/changed.arff" "$work/changed.txt" || fail "the search on the changed collection failed"
grep -q '^hlc ' "$work/small.txt" || fail "the search chose no models"
cmp -s "$work/small.txt" "$work/changed.txt" || fail "the held-out rows changed the chosen settings"
cmp -s "$work/small.txt.table" "$work/changed.txt.table" || fail "the held-out rows changed the search's scores"
grep -q '^ *1  0\.[0-9]' "$work/small.txt.table" || fail "no scored rows: $(head -5 "$work/small.txt.table")"
"$train" "$work/small.arff" "$work/small" --settings "$work/small.txt" || fail "the searched settings do not train"
[ "$(grep -c '^model hlc-' "$work/small/hlcinfo")" -eq "$(grep -c '^hlc ' "$work/small.txt")" ] ||
  fail "the searched settings' hlcinfo does not list its models"

# The cross-fitted score: pools of the held-out part's size (50 of the 150), a figure between
# 0 and 1, and the same output whatever the held-out rows hold.
score() { "$train" --score "$1" "$work/ens.txt" --folds 2 --repeats 1 --pools 3; }
score "$work/small.arff" > "$work/small.score" || fail "the score failed: $(cat "$work/small.score")"
score "$work/changed.arff" > "$work/changed.score" || fail "the score on the changed collection failed"
grep -Eq '^cross-fitted top-5 jaccard 0\.[0-9]{4}, .*\(4 models; 2 folds, 1 repeats, 3 pools of 50 songs' \
  "$work/small.score" || fail "no score line: $(cat "$work/small.score")"
cmp -s "$work/small.score" "$work/changed.score" || fail "the held-out rows changed the score"
"$train" --score "$work/small.arff" "$work/bad.txt" 2>"$work/err.txt"; [ $? -eq 1 ] ||
  fail "--score with a bad settings file does not fail"
grep -q 'bad.txt line 2' "$work/err.txt" || fail "--score gave no reason: $(cat "$work/err.txt")"
exit $failed
