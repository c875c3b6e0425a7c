#!/usr/bin/env bash
# Runs one console scenario in a fresh data folder and compares its output with the
# expected file beside it. Usage: run_scenario.sh KALVORET SCRIPT.kal
set -uo pipefail
kalvoret=$1
script=$2
expected=${script%.kal}.expected
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
actual=$(ZARVELL_HOME=$home "$kalvoret" "$script" 2>/dev/null)
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "scenario $(basename "$script") differs from $(basename "$expected")"
  exit 1
fi
