#!/usr/bin/env bash
# Start-up to first paint as a native Wayland client of a private headless
# weston: Tambrel against the same minimal Qt windows that bench/run.sh
# times under Xvfb, started alternately.
#
#   bench/startup-wayland.sh [STARTUP_RUNS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DTAMBREL_BUILD_BENCHMARKS=ON
"$root/scripts/with-weston.sh" python3 "$root/bench/startup.py" \
  "$root/build/bench/tambrel_startup_probe" "${1:-20}"
