#!/usr/bin/env bash
# Runs one console scenario and compares its standard output with the expected file beside
# it (or with EXPECTED). Usage: run_scenario.sh KALVORET SCRIPT.kal [EXPECTED]
#
# The console starts in a fresh folder of its own (relative paths in the script resolve
# there; it shows as <start> in the output) with a separate fresh data folder. Checked:
# - standard output equals NAME.expected;
# - standard output has exactly one line per command (non-blank, non-comment line);
# - the exit status equals the script's "# status: N" line (0 without one).
set -uo pipefail
kalvoret=$1
script=$(realpath "$2")
expected=${3:-${script%.kal}.expected}
home=$(mktemp -d)
start=$(mktemp -d)
trap 'rm -rf "$home" "$start"' EXIT
want_status=$(sed -n 's/^# status: \([0-9]*\)$/\1/p' "$script" | head -n1)
want_status=${want_status:-0}
actual=$(cd "$start" && ZARVELL_HOME=$home "$kalvoret" "$script" 2>/dev/null)
status=$?
actual=${actual//"$start"/<start>}
failed=0
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "scenario $(basename "$script") differs from $(basename "$expected")"
  failed=1
fi
commands=$(grep -cvE '^[[:space:]]*(#|$)' "$script")
lines=$(printf '%s\n' "$actual" | grep -c '')
if [ "$commands" -ne "$lines" ]; then
  echo "scenario $(basename "$script"): $commands commands but $lines output lines"
  failed=1
fi
if [ "$status" -ne "$want_status" ]; then
  echo "scenario $(basename "$script"): exit status $status, expected $want_status"
  failed=1
fi
exit $failed
