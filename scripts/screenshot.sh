#!/usr/bin/env bash
# Takes the picture of Tambrel shown in the docs: the window, framed by a
# window manager, after twelve rolls of a 20-sided die.
#
#   scripts/screenshot.sh [TAMBREL_BINARY] [OUTPUT_PNG]
#
# Defaults: build/src/tambrel and docs/tambrel.png. TAMBREL_BIN also names
# the binary. Runs on a private Xvfb display with openbox.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ "${1:-}" = "--on-display" ]; then
  # The part that runs inside scripts/with-xvfb.sh, with DISPLAY set.
  binary="$2"
  output="$3"
  "$binary" &
  app_pid=$!
  trap 'kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true' EXIT

  wid=""
  for _ in $(seq 1 100); do
    wid="$(xdotool search --onlyvisible --name '^Tambrel Generation$' 2>/dev/null | head -n 1 || true)"
    [ -n "$wid" ] && break
    kill -0 "$app_pid" 2>/dev/null || { echo "$0: tambrel exited before showing its window" >&2; exit 1; }
    sleep 0.1
  done
  [ -n "$wid" ] || { echo "$0: tambrel's window never appeared" >&2; exit 1; }

  # Framed once the window manager has published the frame extents.
  for _ in $(seq 1 100); do
    xprop -id "$wid" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '=' && break
    sleep 0.1
  done
  sleep 0.5

  # Client-area pixels, from the centres of the controls in the window's
  # layout (twips / 15): the "20" button, the times box, "Generate Number".
  xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
  xdotool mousemove --window "$wid" 256 36 click 1
  xdotool mousemove --window "$wid" 292 112 click 1
  xdotool key --window "$wid" ctrl+a
  xdotool type --window "$wid" --delay 50 12
  xdotool mousemove --window "$wid" 42 160 click 1
  # Move the pointer off the window so that no button shows it hovering.
  xdotool mousemove 5 5
  sleep 1

  import -window "$wid" -frame "$output"
  echo "Saved $output"
  exit 0
fi

binary="${1:-${TAMBREL_BIN:-$root/build/src/tambrel}}"
output="${2:-$root/docs/tambrel.png}"
if [ ! -x "$binary" ]; then
  echo "$0: $binary is not built; run scripts/build.sh first" >&2
  exit 1
fi

# Only this script uses ImageMagick, so it brings it along itself.
if ! command -v import >/dev/null; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends imagemagick
fi

mkdir -p "$(dirname "$output")"
output="$(cd "$(dirname "$output")" && pwd)/$(basename "$output")"
binary="$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")"
exec "$root/scripts/with-xvfb.sh" "$root/scripts/screenshot.sh" --on-display "$binary" "$output"
