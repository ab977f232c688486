#!/usr/bin/env bash
# Start-up to first paint as a native Wayland client of a private headless
# weston: the shipped binary against the same one-label window that bench/run.sh
# times under Xvfb, started alternately.
#
#   bench/startup-wayland.sh [STARTUP_PAIRS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DTAMBREL_BUILD_BENCHMARKS=ON
"$root/scripts/with-weston.sh" python3 "$root/bench/startup.py" \
  "$root/build/bench/libtambrel_startup_probe.so" "$root/build/src/tambrel" \
  "$root/build/bench/tambrel_one_label_window" "${1:-21}"
