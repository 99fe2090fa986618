#!/usr/bin/env bash
# Kills snapshot restores of a container of QUORVEX_KILL_FILES files (default 5000) at random
# moments, QUORVEX_KILLS times (default 200); fails when any kill left the app without preferences.
set -euo pipefail
build=${1:-build/default}
"$build/bench/quorvex-restore-kill" "$build/tests/support/fake-xcrun" "${QUORVEX_KILLS:-200}" "${QUORVEX_KILL_FILES:-5000}"
