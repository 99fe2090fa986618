#!/usr/bin/env bash
# The storage cleaner's full scan of a synthetic developer folder against `du -s` of the same
# folders, in one run; its byte total must equal `find -P -type f` blocks. QUORVEX_SCAN_FILES sets
# the size (default 1000000); the folder is made once under /tmp (QUORVEX_BENCH_DIR to move it).
set -euo pipefail
build=${1:-build/default}
files=${QUORVEX_SCAN_FILES:-1000000}
base=${QUORVEX_BENCH_DIR:-/tmp}/quorvex-scan-$files
tool=$build/bench/quorvex-storage-scan
if [ ! -e "$base/complete" ]; then
  rm -rf "$base"
  "$tool" make "$base/home" "$files"
  sync
  touch "$base/complete"
fi
lib=$base/home/Library
folders=("$lib/Developer/Xcode/DerivedData" "$lib/Developer/Xcode/iOS DeviceSupport" "$lib/Logs/Xcode"
         "$lib/Caches/com.apple.dt.Xcode" "$lib/Caches/CocoaPods" "$lib/Developer/CoreSimulator/Caches")
reference=$(find -P "${folders[@]}" -type f -printf '%b\n' | awk '{ s += $1 } END { printf "%.0f", s * 512 }')
du -s -B1 "${folders[@]}" >/dev/null # warm-up, as the scan below gets one too
"$tool" scan "$base/home" >/dev/null
t0=$(date +%s%N); du -s -B1 "${folders[@]}" >/dev/null; du_time=$(awk -v ns="$(( $(date +%s%N) - t0 ))" 'BEGIN { printf "%.3f", ns / 1e9 }')
read -r bytes seconds peak < <("$tool" scan "$base/home")
printf '%d files, %d cores\n' "$files" "$(nproc)"
printf 'find reference %s bytes; scan %s bytes in %s s (peak %s KiB); du -s %s s; speed-up %.2fx\n' \
  "$reference" "$bytes" "$seconds" "$peak" "$du_time" "$(awk "BEGIN { print $du_time / $seconds }")"
[ "$bytes" = "$reference" ] || { echo "FAIL: bytes differ from the reference"; exit 1; }
