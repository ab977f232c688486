#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Widget tests run on
# Qt's offscreen platform; the tests that need a real X server and window
# manager start their own Xvfb. Then the fuzzer, and the whole suite once
# more under the sanitizers. Set-up steps print a line each and keep their
# output in logs/ of their build folder; VERBOSE=1 shows it as it comes.
#
#   scripts/test.sh [--suite-only]
#
# --suite-only stops after the first run of the suite: no fuzzer, no
# sanitizer build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
suite_only=""
case "${1:-}" in
  "") ;;
  --suite-only) suite_only=1 ;;
  *) echo "usage: $0 [--suite-only]" >&2; exit 2 ;;
esac
"$root/scripts/install-deps.sh"
# The benchmarks are built too, so that they keep compiling; bench/run.sh
# runs them.
"$root/scripts/build.sh" build -DTAMBREL_BUILD_BENCHMARKS=ON
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# ctest lists the tests that skipped themselves; the reason each gave, on
# its line starting "SKIPPED: ", is in ctest's log.
run_ctest() {
  local status=0
  (cd "$1" && ctest --output-on-failure -j2) || status=$?
  # What was skipped and why, and the shipped program's centring counts.
  awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
       /^SKIPPED: / { print "Skipped " name ": " substr($0, 10) }
       / centred under / { print name ": " $0 }' "$1/Testing/Temporary/LastTest.log"
  return "$status"
}
run_ctest "$root/build"
[ -z "$suite_only" ] || exit 0

# The text conversions and the key filter under libFuzzer: the seed corpus,
# then a few seconds of new inputs.
"$root/scripts/fuzz.sh" 5

# The whole suite again, built with AddressSanitizer and UndefinedBehavior-
# Sanitizer: any report, a leak at exit included, fails the test it came from.
"$root/scripts/build.sh" build-asan -DTAMBREL_SANITIZE=ON
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
# The package checks skip themselves here: sanitized binaries make no
# release package.
run_ctest "$root/build-asan"
