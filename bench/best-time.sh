# Sourced by the comparison scripts. best COMMAND: the best wall time of COMMAND over $runs runs, in seconds
# ("failed" when a run fails). When best_before holds a command, it runs before each run, outside the timing.
best() {
  local best_ns=0 start end
  for _ in $(seq "$runs"); do
    if [ -n "${best_before:-}" ]; then eval "$best_before"; fi
    start=$(date +%s%N)
    bash -c "$1" >/dev/null 2>&1 || { echo "failed"; return; }
    end=$(date +%s%N)
    if [ "$best_ns" -eq 0 ] || [ $((end - start)) -lt "$best_ns" ]; then best_ns=$((end - start)); fi
  done
  awk -v ns="$best_ns" 'BEGIN { printf "%.2f", ns / 1e9 }'
}
