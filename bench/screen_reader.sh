#!/usr/bin/env bash
# A full grid on a 3840 x 2160 display with the screen reader Orca: the run
# with and without Orca listening, and how soon Orca speaks after a click.
#
#   bench/screen_reader.sh [PAIRS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DTAMBREL_BUILD_BENCHMARKS=ON
export PYTHONPATH="$root/tests/screen_reader"
XVFB_SCREEN=3840x2160x24 exec "$root/scripts/with-xvfb.sh" dbus-run-session -- \
  python3 "$root/bench/screen_reader.py" "$root/build/bench/tambrel_screen_reader_probe" \
  "$root/build/src/tambrel" "${1:-3}"
