#!/usr/bin/env bash
# Runs a Python script of this folder on a private Xvfb with openbox and a
# private session bus, on which the accessibility bus starts when Orca asks
# for it. Everything started here stops with the script.
#
#   run-with-orca.sh SCRIPT [ARG...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
for tool in orca dbus-run-session xclip xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; run scripts/install-deps.sh" >&2
    exit 2
  fi
done
script="$1"
shift
export PYTHONPATH="$here${PYTHONPATH:+:$PYTHONPATH}"
exec "$root/scripts/with-xvfb.sh" dbus-run-session -- python3 "$script" "$@"
