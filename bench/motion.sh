#!/usr/bin/env bash
# CPU of a header of rolling numbers and of the storage cleaner's window (offscreen), each at rest
# and while its total keeps rolling, beside an empty widget, all in one process. Goal: under 5 %
# of one core while rolling, nothing above the empty widget at rest. Argument 2: seconds per spell.
set -euo pipefail
build=${1:-build/default}
echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"
QT_QPA_PLATFORM=offscreen "$build/bench/quorvex-bench-motion" "${2:-5}"
