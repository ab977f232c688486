#!/usr/bin/env bash
# Builds the benchmarks and prints each speed and memory target with its
# measured value. Timings are medians of repeated runs on this machine;
# every target is a ratio of two things measured side by side, or a count.
#
#   bench/run.sh [STARTUP_PAIRS]
#
# With TAMBREL_STARTUP_BEFORE set to a commit, start-up is also timed
# against the program as it was then (bench/startup_before_after.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DTAMBREL_BUILD_BENCHMARKS=ON
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
# Settings, state and runtime folders of the benchmarks' own, gone with $out;
# the start-up timing runs inside with-xvfb.sh, which makes its own.
for kind in config data cache state; do mkdir -p "$out/xdg/$kind"; done
mkdir -m 700 "$out/runtime"
export XDG_CONFIG_HOME="$out/xdg/config" XDG_DATA_HOME="$out/xdg/data"
export XDG_CACHE_HOME="$out/xdg/cache" XDG_STATE_HOME="$out/xdg/state" XDG_RUNTIME_DIR="$out/runtime"

# Repetitions of the benchmarks interleaved at random, so that whatever else
# the machine does falls on the sides of a ratio alike. Qt's offscreen
# platform warns of what it cannot do for a second window; those go to a log.
"$root/build/bench/tambrel_bench" --benchmark_repetitions=11 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_out="$out/grid.json" --benchmark_out_format=json >/dev/null 2>"$out/grid.log"
# Start-up with an empty history file and with one of 10,000 runs, and the
# one-label window with SQLite linked in against without it.
bin="$root/build/bench"
startup() {
  "$root/scripts/with-xvfb.sh" python3 "$root/bench/startup.py" \
    "$bin/libtambrel_startup_probe.so" "$@" >>"$out/startup.txt"
}
startup "$root/build/src/tambrel" "$bin/tambrel_one_label_window" "${1:-21}" \
  --history empty --fill "$bin/tambrel_history_fill"
startup "$root/build/src/tambrel" "$bin/tambrel_one_label_window" "${1:-21}" \
  --history runs --fill "$bin/tambrel_history_fill" --name startup_runs
startup "$bin/tambrel_one_label_window_sqlite" "$bin/tambrel_one_label_window" "${1:-21}" \
  --name sqlite_link
# Ctrl+Shift+R to the Dice window's first paint, each in a fresh process.
"$root/scripts/with-xvfb.sh" python3 "$root/bench/dice_open.py" \
  "$bin/libtambrel_dice_open_probe.so" "$root/build/src/tambrel" "${1:-21}" >>"$out/startup.txt"
# The file's size and the program's memory at the history's limits.
"$root/scripts/with-xvfb.sh" python3 "$root/bench/history_limits.py" "$root/build/src/tambrel" \
  "$bin/tambrel_history_fill" >"$out/limits.txt"
# The dice engine, on its own: parse and roll, exact odds, a batch.
"$root/build/bench/tambrel_dice_bench" --benchmark_repetitions=11 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_out="$out/dice.json" --benchmark_out_format=json >/dev/null
reports=("$out/grid.json" "$out/startup.txt" "$out/limits.txt" "$out/dice.json")
if [ -n "${TAMBREL_STARTUP_BEFORE:-}" ]; then
  "$root/bench/startup_before_after.sh" "$TAMBREL_STARTUP_BEFORE" "${1:-21}" >"$out/before_after.txt"
  reports+=("$out/before_after.txt")
fi
python3 "$root/bench/report.py" "${reports[@]}"
