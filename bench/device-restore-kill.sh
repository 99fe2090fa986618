#!/usr/bin/env bash
# Kills device snapshot saves and restores of a container of QUORVEX_KILL_FILES files (default
# 2000) at random moments, QUORVEX_KILLS times in all (default 200); fails when any kill, after
# the next start's recovery, left the app's previous data out of reach, a half-made snapshot
# listed, or a staging folder behind.
set -euo pipefail
build=${1:-build/default}
"$build/bench/quorvex-device-restore-kill" "$build/tests/support/fake-xcrun" "${QUORVEX_KILLS:-200}" "${QUORVEX_KILL_FILES:-2000}"
