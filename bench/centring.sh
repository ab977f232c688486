#!/usr/bin/env bash
# Starts the shipped program, build/src/tambrel, LAUNCHES times (50 unless
# told) at each scale (1, 1.5, 2), with the machine idle and with every core
# busy, under openbox and under xfwm4, on each screen size given
# (1920x1080 unless told), and prints how many frames ended centred within
# 2 px with the title bar on the screen, and the frame's offset from the
# centre (dx, dy: min/median/max, in the server's pixels). The launches are
# those of the test x11.centred_first_show.*, which makes fewer.
#
#   bench/centring.sh [LAUNCHES] [WIDTHxHEIGHT...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
launches="${1:-50}"
[ $# -gt 0 ] && shift
screens=("$@")
[ ${#screens[@]} -gt 0 ] || screens=(1920x1080)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DTAMBREL_BUILD_BENCHMARKS=ON
status=0
for screen in "${screens[@]}"; do
  for wm in openbox xfwm4; do
    XVFB_SCREEN="${screen}x24" XVFB_WM="$wm" TAMBREL_CENTRING_LAUNCHES="$launches" \
      "$root/tests/x11/run-under-xvfb.sh" "$root/build/tests/tambrel_x11_tests" \
      --gtest_filter='ShippedCentringTest.*' | grep -E 'centred under|frame at|never framed' || status=1
  done
done
exit "$status"
