#!/usr/bin/env bash
# The storage cleaner's category page with 20,000 items against a QListWidget of the same items,
# offscreen. Goals: opening under 100 ms; a scroll frame under 16.7 ms (60 frames per second,
# read from items_per_second). BM_CategoryPageToggle is one row click with the page open.
set -euo pipefail
build=${1:-build/default}
echo "cores: $(nproc)"
QT_QPA_PLATFORM=offscreen "$build/bench/quorvex-bench-category-page" --benchmark_min_time=1
