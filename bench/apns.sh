#!/usr/bin/env bash
# One warm APNs push against the local HTTP/2 stand-in, beside the curl command line.
# Usage: bench/apns.sh [build folder]
set -euo pipefail
build=${1:-build/default}
"$build/bench/quorvex-bench-apns"
