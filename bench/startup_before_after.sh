#!/usr/bin/env bash
# Start-up to first paint before and after a change: builds the program as
# it was at BEFORE (a commit) in a folder of its own, then, on one Xvfb
# display in one sitting, times against the one-label window the binary in
# build/ and that one, each in PAIRS alternating pairs, and the two against
# each other directly. The folder goes when it is done. Needs build/ made
# with the benchmarks (bench/run.sh does it).
#
#   bench/startup_before_after.sh BEFORE [PAIRS] > FIGURES
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 BEFORE [PAIRS]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
before="$(git -C "$root" rev-parse --short "$1^{commit}")"
pairs="${2:-21}"
bin="$root/build/bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The tree as it was, without a checkout of its own, so that nothing is
# left in the repository; only the program is built, as the project does.
mkdir "$work/src"
git -C "$root" archive "$before" | tar -x -C "$work/src"
cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBREL_WERROR=ON \
  -DTAMBREL_BUILD_TESTS=OFF >"$work/configure.log" 2>&1 ||
  { tail -n 40 "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" --target tambrel -j2 >"$work/build.log" 2>&1 ||
  { tail -n 40 "$work/build.log" >&2; exit 1; }

echo "before_commit $before"
echo "after_commit $(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD -- src || echo '+changes')"
"$root/scripts/with-xvfb.sh" bash -c '
  set -euo pipefail
  probe="$1" after="$2" before="$3" label="$4" pairs="$5" script="$6"
  python3 "$script" "$probe" "$after" "$label" "$pairs" --name startup_after
  python3 "$script" "$probe" "$before" "$label" "$pairs" --name startup_before
  python3 "$script" "$probe" "$after" "$before" "$pairs" --name startup_after_vs_before
' bash "$bin/libtambrel_startup_probe.so" "$root/build/src/tambrel" "$work/build/src/tambrel" \
  "$bin/tambrel_one_label_window" "$pairs" "$root/bench/startup.py"
