#!/usr/bin/env bash
# Runs a Python script of this folder on a private Xvfb with openbox and a
# private session bus, on which the accessibility bus starts when Orca asks
# for it. Everything started here stops with the script.
#
#   run-with-orca.sh SCRIPT [ARG...]
#
# Exits with 77, skipped, when another Orca of this user runs: Orca allows
# one per user, and that one is never replaced or stopped from here.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
for tool in orca dbus-run-session xclip xdotool pgrep; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; run scripts/install-deps.sh" >&2
    exit 2
  fi
done
# As Orca itself looks for another of this user before it starts.
if others="$(pgrep -u "$(id -u)" -x orca)"; then
  echo "SKIPPED: another Orca of this user runs (pid $(echo $others)); Orca allows one per user, and it is not ours to stop"
  exit 77
fi
script="$1"
shift
export PYTHONPATH="$here${PYTHONPATH:+:$PYTHONPATH}"
export PYTHONDONTWRITEBYTECODE=1
exec "$root/scripts/with-xvfb.sh" dbus-run-session -- /usr/bin/python3 "$script" "$@"
