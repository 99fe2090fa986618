#!/usr/bin/env bash
# allocatedSize on the fixed benchmark tree, with one thread and with all cores, side by side with
# `du -s -B1` in the same run; its byte count must equal the sum of `find -P -type f` blocks.
# The tree lives under /tmp (QUORVEX_BENCH_DIR to move it) and is made once.
set -euo pipefail
build=${1:-build/default}
base=${QUORVEX_BENCH_DIR:-/tmp/quorvex-bench}
tree=$base/tree
runs=${QUORVEX_BENCH_RUNS:-5}

if [ ! -e "$base/complete" ]; then
  rm -f "$base/complete"
  "$build/bench/quorvex-make-size-tree" "$tree" "$base/outside"
  sync
  touch "$base/complete"
fi

# Best of $runs after a warm-up, so every contender reads from the same warm cache.
best_of() {
  local best=0 t0 took
  "$@" >/dev/null
  for _ in $(seq "$runs"); do
    t0=$(date +%s%N); "$@" >/dev/null; took=$(( $(date +%s%N) - t0 ))
    if [ "$best" = 0 ] || [ "$took" -lt "$best" ]; then best=$took; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}
calc() { awk "BEGIN { print ($1) }"; }

reference=$(find -P "$tree" -type f -printf '%b\n' | awk '{ s += $1 } END { printf "%d", s * 512 }')
du_bytes=$(du -s -B1 "$tree" | cut -f1)
du_time=$(best_of du -s -B1 "$tree")
read -r one_bytes one_time < <("$build/bench/quorvex-measure-size" "$tree" 1 "$runs")
read -r all_bytes all_time < <("$build/bench/quorvex-measure-size" "$tree" 0 "$runs")
cores=$(nproc)

printf '%-28s %16s %10s\n' "" "bytes" "seconds"
printf '%-28s %16s %10s\n' "find -P -type f (reference)" "$reference" "-"
printf '%-28s %16s %10s\n' "du -s -B1" "$du_bytes" "$du_time"
printf '%-28s %16s %10s\n' "allocatedSize, 1 thread" "$one_bytes" "$one_time"
printf '%-28s %16s %10s\n' "allocatedSize, $cores cores" "$all_bytes" "$all_time"
printf 'speed-up over du: 1 thread %.2fx, %d cores %.2fx\n' \
  "$(calc "$du_time / $one_time")" "$cores" "$(calc "$du_time / $all_time")"

status=0
[ "$one_bytes" = "$reference" ] && [ "$all_bytes" = "$reference" ] || { echo "FAIL: bytes differ from the reference"; status=1; }
[ "$(calc "$one_time <= $du_time")" = 1 ] || echo "note: one thread is slower than du -s"
[ "$(calc "$all_time * 4 <= $du_time")" = 1 ] || echo "note: all cores are less than 4x faster than du -s"
exit $status
