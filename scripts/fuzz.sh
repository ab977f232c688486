#!/usr/bin/env bash
# Builds the libFuzzer target for the text conversions and the key filter
# with clang in build-fuzz/, replays the seed corpus in fuzz/corpus/, then
# fuzzes for a bounded time.
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

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2
mkdir -p "$build/corpus"
cd "$build"
echo "Fuzzer: replaying $(find "$seeds" -type f | wc -l) seed inputs"
./conversions_fuzzer -runs=0 "$seeds"
echo "Fuzzer: new inputs for ${seconds}s"
./conversions_fuzzer -max_total_time="$seconds" -print_final_stats=1 "$build/corpus" "$seeds"
