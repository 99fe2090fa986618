#!/usr/bin/env bash
# CPU of each setup guide drawing while shown (offscreen, at the guide's size) and while hidden,
# beside an empty widget as the idle reference, all in one process. Goal: under 5 % of one core
# while visible, no more than the idle reference while hidden. Argument 2: seconds per spell.
set -euo pipefail
build=${1:-build/default}
echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
QT_QPA_PLATFORM=offscreen "$build/bench/quorvex-bench-illustrations" "${2:-5}"
