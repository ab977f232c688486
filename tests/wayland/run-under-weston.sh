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
# In the sanitizer build: Mesa, loaded by Qt's Wayland platform, has no frame
# pointers, so a leak check at exit names Mesa's frames only when the slow
# unwinder records each allocation (see tests/sanitizer/lsan.supp). Other
# builds ignore the setting.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
exec "$root/scripts/with-weston.sh" "$@"
