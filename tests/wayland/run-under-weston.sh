#!/usr/bin/env bash
# Runs a Wayland test binary as a client of its own headless weston, and
# exits with the binary's status.
#
#   tests/wayland/run-under-weston.sh TEST_BINARY [GTEST_ARG...]
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: $0 TEST_BINARY [ARG...]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/../.." && pwd)"
exec "$root/scripts/with-weston.sh" "$@"
