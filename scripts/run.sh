#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tambrel.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Tambrel is built (build/src/tambrel) but there is no display to show it on:" >&2
  echo "run this from a desktop session, or set DISPLAY." >&2
  exit 1
fi
exec "$root/build/src/tambrel"
