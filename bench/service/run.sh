#!/usr/bin/env bash
# The headless station's benchmark and, for comparison in the same run, the window's.
# Usage: bench/service/run.sh BUILD_DIR [IDLE_SECONDS]   (build the *_bench targets first)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [IDLE_SECONDS]}
idle=${2:-60}
echo "== tesseld"
"$build/bench/service/tesseld_bench" "$idle"
echo "== the window (tessel), offscreen"
echo "-- start to first paint:"
"$build/bench/window/window_startup_bench"
echo "-- idle and 10 cycles (scripted camera):"
"$build/bench/window/window_idle_bench" "$idle"
