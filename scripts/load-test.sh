#!/usr/bin/env bash
# Runs the whole suite N times in a row at -j$(nproc), each beside CPU load (one busy loop for
# every two cores), and prints each run's result and time, then the totals.
# Usage: scripts/load-test.sh [runs]   (default: 5; builds first, as the test command does)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
"$root/scripts/setup.sh"

cores=$(nproc)
loops=()
stop_load() {
  [ ${#loops[@]} -eq 0 ] || kill "${loops[@]}" 2>/dev/null || true
  loops=()
}
trap stop_load EXIT
for _ in $(seq 1 $(( (cores + 1) / 2 ))); do
  sh -c 'while :; do :; done' &
  loops+=($!)
done

failed=0
for run in $(seq 1 "$runs"); do
  log="$root/build/load-run-$run.log"
  start=$(date +%s)
  if ctest --test-dir "$root/build" --output-on-failure -j "$cores" > "$log" 2>&1; then
    result=passed
  else
    result=FAILED
    failed=$((failed + 1))
  fi
  echo "run $run: $result in $(( $(date +%s) - start )) s ($(grep -E 'tests passed|tests failed' "$log" | tail -n 1))"
  [ "$result" = passed ] || grep -E '^\s+[0-9]+ - ' "$log" || true
done
stop_load
echo "runs: $((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
