#!/usr/bin/env bash
# Builds the libFuzzer target for the text conversions and the key filter
# with clang in build-fuzz/, replays the seed corpus in fuzz/corpus/, then
# fuzzes for a bounded time. The fuzzer's output goes to
# build-fuzz/logs/fuzz.log (VERBOSE=1 shows it as it comes).
#
#   scripts/fuzz.sh [SECONDS]        (default 5)
#
# Inputs that reach new code are kept in build-fuzz/corpus/, never in the
# repository; an input that fails is written to build-fuzz/ as crash-<sha1>
# and replays with: build-fuzz/conversions_fuzzer build-fuzz/crash-<sha1>
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-5}"
build="$root/build-fuzz"
seeds="$root/fuzz/corpus/conversions"
. "$root/scripts/logged.sh"

cmake_build "$root/fuzz" "$build" -DCMAKE_CXX_COMPILER=clang++
mkdir -p "$build/corpus"
cd "$build"
fuzz() {
  ./conversions_fuzzer -runs=0 "$seeds" &&
    ./conversions_fuzzer -max_total_time="$seconds" -print_final_stats=1 "$build/corpus" "$seeds"
}
logged "$build/logs/fuzz.log" \
  "Fuzzer: $(find "$seeds" -type f | wc -l) seed inputs, then new inputs for ${seconds} s" fuzz
echo "Fuzzer: $(sed -n 's/^stat::number_of_executed_units: *//p' "$build/logs/fuzz.log") inputs, no failure"
