#!/usr/bin/env bash
# The network relay against a direct connection and socat, on loopback. Takes a few minutes.
# Usage: bench/network.sh [build folder] [throughput|rates|latency|loss|integrity|memory]...
set -euo pipefail
build=${1:-build/default}
shift || true
"$build/bench/quorvex-netbench" --forward "$build/src/extension/quorvex-forward" "$@"
