#!/usr/bin/env bash
# The storage cleaner window with 100,000 items in one category against a QListView over a plain
# model of the same items, offscreen: opening the page, "All", one click and a scrolling frame.
# Goals: opening under 100 ms, "All" under 50 ms, a click under 8 ms, a scroll frame under 8 ms.
set -euo pipefail
build=${1:-build/default}
echo "cores: $(nproc)"
QT_QPA_PLATFORM=offscreen "$build/bench/quorvex-bench-category-page" --benchmark_min_time=1
