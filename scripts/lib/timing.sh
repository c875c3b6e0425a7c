# Timing helpers shared by the benchmark scripts (sourced, not run).

# Milliseconds from spawning "$@" until it prints a line matching $pattern (then it is
# killed); "fail" when it exits first.
until_line() {
  local pattern=$1 start line
  shift
  start=$EPOCHREALTIME
  exec 3< <("$@" 2>&1 & echo "pid $!"; wait)
  local pid=""
  while IFS= read -r line <&3; do
    if [ -z "$pid" ] && [[ $line == "pid "* ]]; then pid=${line#pid }; continue; fi
    if [[ $line == *$pattern* ]]; then
      local end=$EPOCHREALTIME
      kill "$pid" 2>/dev/null || true
      exec 3<&-
      awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f\n", (b - a) * 1000 }'
      return
    fi
  done
  exec 3<&-
  echo fail
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else print v[int((NR + 1) / 2)] }'; }
