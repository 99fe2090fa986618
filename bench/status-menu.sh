#!/usr/bin/env bash
# One opening of the status menu with 20 booted simulators and 60 apps each, against building the
# same number of plain QActions. Goal: under 16 ms (one frame) per opening.
set -euo pipefail
build=${1:-build/default}
echo "cores: $(nproc)"
QT_QPA_PLATFORM=offscreen "$build/bench/quorvex-bench-status-menu" --benchmark_min_time=1
