#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ (the text
# conversions and the key filter; the dice notation, rolls and odds), and
# for each replays its seed corpus in fuzz/corpus/NAME/, then fuzzes for a
# bounded time. The output goes to build-fuzz/logs/fuzz-NAME.log (VERBOSE=1
# shows it as it comes).
#
#   scripts/fuzz.sh [SECONDS]        (default 5, for each target)
#
# Inputs that reach new code are kept in build-fuzz/corpus/NAME/, never in
# the repository; an input that fails is written to build-fuzz/ as
# crash-<sha1> (or timeout-, slow-unit-) and replays with, for instance:
# build-fuzz/dice_fuzzer build-fuzz/crash-<sha1>
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-5}"
build="$root/build-fuzz"
. "$root/scripts/logged.sh"

cmake_build "$root/fuzz" "$build" -DCMAKE_CXX_COMPILER=clang++
cd "$build"
for name in conversions dice; do
  seeds="$root/fuzz/corpus/$name"
  mkdir -p "$build/corpus/$name"
  log="$build/logs/fuzz-$name.log"
  # Dice expressions up to past their 200-character limit.
  longest=()
  [ "$name" = dice ] && longest=(-max_len=256)
  fuzz() {
    "./${name}_fuzzer" -runs=0 "$seeds" &&
      "./${name}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 "${longest[@]}" \
        "$build/corpus/$name" "$seeds"
  }
  logged "$log" \
    "Fuzzer $name: $(find "$seeds" -type f | wc -l) seed inputs, then new inputs for ${seconds} s" fuzz
  inputs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  echo "Fuzzer $name: $inputs inputs, no failure"
done

# The dice again without the sanitizers, optimised as the program is:
# every input kept above, then new ones, each within 100 ms of processor
# time.
log="$build/logs/fuzz-dice-timing.log"
timing() {
  ./dice_timing_fuzzer -runs=0 "$build/corpus/dice" "$root/fuzz/corpus/dice" &&
    ./dice_timing_fuzzer -max_total_time="$seconds" -print_final_stats=1 -max_len=256 \
      "$build/corpus/dice" "$root/fuzz/corpus/dice"
}
logged "$log" "Fuzzer dice, timed: $(find "$build/corpus/dice" -type f | wc -l) inputs kept, then new inputs for ${seconds} s" timing
inputs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
slowest="$(sed -n 's/^dice_fuzzer: slowest input so far //p' "$log" | sort -g | tail -n 1)"
echo "Fuzzer dice, timed: $inputs inputs, none over 100 ms; slowest ${slowest:-none}"
