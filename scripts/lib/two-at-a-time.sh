# Sourced by the scripts that make their own test songs (sourced, not run):
#   two_at_a_time FUNCTION COUNT
# runs FUNCTION 0, FUNCTION 1, ... FUNCTION COUNT-1 as background jobs, at most two at once
# (the machine has two cores), and returns once all have ended: status 1 when any failed.
two_at_a_time() {
  local fn=$1 count=$2 i p failed=0
  local pids=()
  for ((i = 0; i < count; ++i)); do
    "$fn" "$i" &
    pids+=($!)
    if [ ${#pids[@]} -ge 2 ]; then
      wait "${pids[0]}" || failed=1
      pids=("${pids[@]:1}")
    fi
  done
  for p in "${pids[@]}"; do wait "$p" || failed=1; done
  return "$failed"
}
