#!/usr/bin/env bash
# Runs an X11 test binary on its own Xvfb display with a window manager
# (openbox, or XVFB_WM's), and exits with the binary's status.
#
#   tests/x11/run-under-xvfb.sh TEST_BINARY [GTEST_ARG...]
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: $0 TEST_BINARY [ARG...]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/../.." && pwd)"
for tool in xdotool xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; run scripts/install-deps.sh" >&2
    exit 2
  fi
done
exec "$root/scripts/with-xvfb.sh" "$@"
