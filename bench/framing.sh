#!/usr/bin/env bash
# Framing one 1290 x 2796 screenshot in its device chrome (as a bitmap, and encoded as PNG)
# against a plain QImage copy of the same pixels. Goal: framing under 50 ms.
set -euo pipefail
build=${1:-build/default}
echo "cores: $(nproc)"
QT_QPA_PLATFORM=offscreen "$build/bench/quorvex-bench-framing" --benchmark_min_time=1
