#!/usr/bin/env bash
# The window tracker and side panel on a private Xvfb: idle CPU over 60 s with a host window
# frontmost, event-driven against a 30 Hz poll (goal: under 0.5 % of one core), and how fast the
# panel follows a moved host window over 500 moves against the bare X round trip (goal: within
# one frame, 16 ms).
set -euo pipefail
build=${1:-build/default}
echo "cores: $(nproc)"
"$build/bench/quorvex-bench-panel" idle "${PANEL_IDLE_SECONDS:-60}"
"$build/bench/quorvex-bench-panel" follow "${PANEL_MOVES:-500}"
