#!/usr/bin/env bash
# The console's command line: --help/-h/--version, bad arguments, standard input, engine
# messages on standard error only, `help` listing every command, and the README naming
# every command. Usage: options_test.sh KALVORET README.md
set -uo pipefail
kalvoret=$1
readme=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ZARVELL_HOME=$work/home
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# check NAME FILE REGEX: FILE matches the extended REGEX somewhere; EMPTY: FILE is empty.
check() {
  if [ "$3" = EMPTY ]; then
    [ ! -s "$2" ] || fail "$1: $2 is not empty: $(head -c 300 "$2")"
  else
    grep -qE "$3" "$2" || fail "$1: $2 does not match '$3': $(head -c 300 "$2")"
  fi
}
# run NAME STATUS STDOUT STDERR ARGS...: one invocation with empty standard input.
run() {
  local name=$1 want=$2 out_re=$3 err_re=$4
  shift 4
  "$kalvoret" "$@" </dev/null >out.txt 2>err.txt
  local status=$?
  [ "$status" -eq "$want" ] || fail "$name: exit status $status, expected $want"
  check "$name" out.txt "$out_re"
  check "$name" err.txt "$err_re"
}
run "--help" 0 '^usage: kalvoret' EMPTY --help
run "-h" 0 '^  onPlay NODE \[FLAG\]$' EMPTY -h
run "--version" 0 '^kalvoret \(Zarvell\) [0-9]+\.[0-9]+' EMPTY --version
run "unknown option" 2 EMPTY "unexpected argument '--bogus'" --bogus
run "two scripts" 2 EMPTY "unexpected argument 'b.kal'" a.kal b.kal
run "missing script" 2 EMPTY 'cannot open nosuch.kal' nosuch.kal

# A script from standard input; a relative SCRIPT argument resolves against this folder.
printf 'song 1 "One"\nsaveNet net.xml\n' >script.kal
"$kalvoret" script.kal >out.txt 2>err.txt || fail "relative script: exit status $?"
[ "$(cat out.txt)" = "song 1 One => #1
saveNet net.xml => 1 \"$work/net.xml\"" ] || fail "relative script: $(cat out.txt)"
[ -f "$work/net.xml" ] || fail "saveNet net.xml did not write into the start folder"
grep -q 'Saving net \.\.\. done\.' err.txt || fail "the engine's save message is not on standard error"
printf 'getFirstNode\n' | "$kalvoret" >out.txt 2>/dev/null || fail "standard input: exit status $?"
[ "$(cat out.txt)" = "getFirstNode => null" ] || fail "standard input: $(cat out.txt)"

# `help` is one line holding every usage line of --help; the README names every command.
"$kalvoret" --help | sed -n 's/^  //p' >usages.txt
[ "$(wc -l <usages.txt)" -gt 70 ] || fail "--help lists only $(wc -l <usages.txt) commands"
expected_help="help => $(paste -sd';' usages.txt | sed 's/;/; /g')"
actual_help=$(printf 'help\n' | "$kalvoret" 2>/dev/null)
[ "$actual_help" = "$expected_help" ] || fail "help differs from --help: $actual_help"
while read -r name _; do
  grep -q "\b$name\b" "$readme" || fail "README does not document the command $name"
done <usages.txt
[ $failed -eq 0 ] && echo "console options: all checks passed"
exit $failed
