#!/usr/bin/env bash
# The migration of a version 1 history file of 10,000 runs to version 2: the
# file is made by the released version 1's own fill tool, then a fresh copy
# of it is opened TIMES times by this build's, which prints the time of the
# opening (the migration within it) and the size before and after. A copy
# already at version 2 is opened as many times beside it: the opening alone.
#
#   bench/history_migration.sh V1_FILL [BUILD_DIR] [TIMES]
#
# V1_FILL is bench/tambrel_history_fill built from version 1 (c51ed07);
# BUILD_DIR is this version's build folder (build/ by default).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
v1_fill="${1:?usage: history_migration.sh V1_FILL [BUILD_DIR] [TIMES]}"
fill="${2:-$root/build}/bench/tambrel_history_fill"
times="${3:-11}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

version() {
  python3 -c 'import sqlite3, sys; print(sqlite3.connect(sys.argv[1]).execute("PRAGMA user_version").fetchone()[0])' "$1"
}
"$v1_fill" "$out/v1.sqlite3" runs >/dev/null
[ "$(version "$out/v1.sqlite3")" = 1 ] || { echo "$v1_fill made no version 1 file" >&2; exit 1; }
cp "$out/v1.sqlite3" "$out/v2.sqlite3"
"$fill" "$out/v2.sqlite3" open >/dev/null
for i in $(seq "$times"); do
  rm -f "$out/copy.sqlite3"*
  cp "$out/v1.sqlite3" "$out/copy.sqlite3"
  "$fill" "$out/copy.sqlite3" open >>"$out/migrated.txt"
  [ "$(version "$out/copy.sqlite3")" = 2 ] || { echo "not at version 2" >&2; exit 1; }
  rm -f "$out/copy.sqlite3"*
  cp "$out/v2.sqlite3" "$out/copy.sqlite3"
  "$fill" "$out/copy.sqlite3" open >>"$out/opened.txt"
done
python3 - "$out/migrated.txt" "$out/opened.txt" <<'PY'
import statistics, sys
for name, path in zip(("migrated from version 1", "opened at version 2"), sys.argv[1:]):
    rows = [dict(field.split("=") for field in line.split()) for line in open(path)]
    ms = sorted(float(row["ms"]) for row in rows)
    print(f"{name}: median {statistics.median(ms):.1f} ms (min {ms[0]:.1f}, max {ms[-1]:.1f}, "
          f"{len(ms)} opens), runs {rows[0]['runs']}, "
          f"{int(rows[0]['bytes_before']):,} bytes before, {int(rows[0]['bytes_after']):,} after")
PY
