#!/usr/bin/env bash
# Plays the randomized user for longer than the test suite does.
#
#   scripts/random-user.sh [SEQUENCES] [SEED] [BUILD_DIR]
#
# SEQUENCES defaults to 1000, SEED to a random one (printed either way), and
# BUILD_DIR to build/; give build-asan to play under the sanitizers. A
# failing sequence is printed cut down to its shortest form, with the seed
# that replays it. TAMBREL_FUZZ_TRACE=1 prints every event as it is played.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sequences="${1:-1000}"
seed="${2:-}"
dir="${3:-build}"
case "$dir" in /*) ;; *) dir="$root/$dir" ;; esac
if [ "$(basename "$dir")" = build-asan ]; then
  "$root/scripts/build.sh" "$dir" -DTAMBREL_SANITIZE=ON
  export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
  export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0}"
else
  "$root/scripts/build.sh" "$dir"
fi
export QT_QPA_PLATFORM="offscreen:configfile=$root/tests/widget/offscreen-8k.json"
export TAMBREL_FUZZ_SEQUENCES="$sequences"
if [ -n "$seed" ]; then export TAMBREL_FUZZ_SEED="$seed"; fi
# Settings, state and runtime folders of its own, gone when it ends.
. "$root/scripts/processes.sh"
run_and_exit "$dir/tests/tambrel_random_user_tests" --gtest_filter='RandomUser.*'
