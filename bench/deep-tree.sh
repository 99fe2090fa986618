#!/usr/bin/env bash
# Trees deeper than PATH_MAX: allocatedSize must count every file of the chain (the bytes its maker
# wrote), and the guarded delete must stay within 2x of `rm -rf` on an identical tree, both run
# here side by side. QUORVEX_DEEP_LEVELS sets the depth (default 20000); the trees live in a
# temporary HOME under /tmp (QUORVEX_BENCH_DIR to move it).
set -euo pipefail
build=${1:-build/default}
levels=${QUORVEX_DEEP_LEVELS:-20000}
base=$(mktemp -d "${QUORVEX_BENCH_DIR:-/tmp}/quorvex-deep-XXXXXX")
trap 'rm -rf "$base"' EXIT
tool=$build/bench/quorvex-deep-tree
export HOME=$base/home
mkdir -p "$HOME/Library"

made=$("$tool" make "$HOME/Library/ours" "$levels")
"$tool" make "$base/theirs" "$levels" >/dev/null
read -r counted size_time < <("$tool" size "$HOME/Library/ours")
sync
ours=$("$tool" remove "$HOME/Library/ours")
t0=$(date +%s%N); rm -rf "$base/theirs"; theirs=$(awk -v ns="$(( $(date +%s%N) - t0 ))" 'BEGIN { printf "%.3f", ns / 1e9 }')

# On a disk file system mounted with online discard, every removed folder waits for its discard:
# both removals are then bound by the device, not by their walks. Say which kind of run this was.
fs_type=$(stat -f -c %T "$base")
options=$(findmnt -n -o OPTIONS --target "$base" 2>/dev/null || true)
printf 'depth %d levels, %d cores, %s (%s), load %s\n' "$levels" "$(nproc)" "$fs_type" "$options" \
  "$(cut -d' ' -f1 /proc/loadavg)"
printf 'allocatedSize: %s bytes of %s written (%s s)\n' "$counted" "$made" "$size_time"
printf 'guarded delete %s s, rm -rf %s s, ratio %.2f\n' "$ours" "$theirs" "$(awk "BEGIN { print $ours / $theirs }")"
status=0
[ "$counted" = "$made" ] || { echo "FAIL: bytes differ"; status=1; }
[ ! -e "$HOME/Library/ours" ] || { echo "FAIL: the tree is still there"; status=1; }
[ "$(awk "BEGIN { print ($ours <= 2 * $theirs) }")" = 1 ] || echo "note: the guarded delete is more than 2x slower than rm -rf"
exit $status
