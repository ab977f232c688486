#!/usr/bin/env bash
# Takes the pictures of Tambrel shown in the docs, each window framed by a
# window manager: the main window after twelve rolls of a 20-sided die
# (OUTPUT_PNG); beside it, distribution.png, the Distribution window after
# six runs of a thousand d6s, history.png, the History window after a few
# more runs of other dice, and dice.png, the Dice window after 1,000 rolls
# of 2d6, their counts beside the exact odds.
#
#   scripts/screenshot.sh [TAMBREL_BINARY] [OUTPUT_PNG]
#
# Defaults: build/src/tambrel and docs/tambrel.png. TAMBREL_BIN also names
# the binary. Runs on a private Xvfb display with openbox, with a state
# folder of its own (removed afterwards) for the history file.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ "${1:-}" = "--on-display" ]; then
  # The part that runs inside scripts/with-xvfb.sh, with DISPLAY set.
  binary="$2"
  output="$3"
  state="$(mktemp -d)"
  XDG_STATE_HOME="$state" "$binary" &
  app_pid=$!
  trap 'kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; rm -rf "$state"' EXIT

  # The id of the shown window titled $1, once the window manager has
  # framed it (published its frame extents).
  framed_window() {
    local found=""
    for _ in $(seq 1 100); do
      found="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)"
      [ -n "$found" ] && break
      kill -0 "$app_pid" 2>/dev/null || { echo "$0: tambrel exited before showing $1" >&2; exit 1; }
      sleep 0.1
    done
    [ -n "$found" ] || { echo "$0: $1 never appeared" >&2; exit 1; }
    for _ in $(seq 1 100); do
      xprop -id "$found" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '=' && break
      sleep 0.1
    done
    echo "$found"
  }
  # Client-area pixels, from the centres of the controls in the window's
  # layout (twips / 15): a die-size button (4, 6, 8, 10, 12, 20, 100), the
  # times box, "Generate Number" as often as asked.
  roll() {
    local sides="$1" times="$2" runs="${3:-1}" x
    case "$sides" in
      4) x=56 ;; 6) x=96 ;; 8) x=136 ;; 10) x=176 ;; 12) x=216 ;; 20) x=256 ;; 100) x=296 ;;
    esac
    xdotool mousemove --window "$wid" "$x" 36 click 1
    xdotool mousemove --window "$wid" 292 112 click 1
    xdotool key --window "$wid" ctrl+a
    xdotool type --window "$wid" --delay 50 "$times"
    xdotool mousemove --window "$wid" 42 160 click --repeat "$runs" --delay 300 1
  }
  # Opens a side window by its shortcut in the main window, typed to the
  # focused window like a person's keys, and again if a busy machine lost
  # them; prints the window's id once framed.
  open_by_key() {
    local found=""
    for _ in 1 2 3; do
      xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
      xdotool keyup Shift_L Shift_R Control_L Control_R key "$1"
      for _ in $(seq 1 50); do
        found="$(xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | head -n 1 || true)"
        [ -n "$found" ] && break 2
        sleep 0.1
      done
    done
    framed_window "$2"
  }
  shoot() {
    # Move the pointer off the windows so that no button shows it hovering.
    xdotool mousemove 5 5
    sleep 1
    import -window "$1" -frame "$2"
    echo "Saved $2"
  }

  wid="$(framed_window 'Tambrel Generation')"
  sleep 0.5

  xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
  roll 20 12
  shoot "$wid" "$output"

  # Six thousand d6s, enough for the chi-square test to judge; the window
  # is maximised meanwhile so that the grid holds a thousand values.
  wmctrl -i -r "$wid" -b add,maximized_vert,maximized_horz
  sleep 1
  roll 6 1000 6
  sleep 1
  distribution="$(open_by_key ctrl+shift+d 'Tambrel Distribution')"
  shoot "$distribution" "$(dirname "$output")/distribution.png"
  xdotool windowactivate --sync "$distribution" key Escape
  wmctrl -i -r "$wid" -b remove,maximized_vert,maximized_horz
  sleep 1

  # A few runs of other dice on top of the d6s, then the History window.
  xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
  roll 100 8
  roll 8 3 2
  roll 4 1
  roll 20 12
  sleep 1
  history="$(open_by_key ctrl+shift+h 'Tambrel History')"
  # Wide enough for "Results" to show twenty values and how many follow.
  xdotool windowsize "$history" 1100 420
  shoot "$history" "$(dirname "$output")/history.png"
  xdotool windowactivate --sync "$history" key Escape

  dice="$(open_by_key ctrl+shift+r 'Tambrel Dice')"
  xdotool windowactivate --sync "$dice" >/dev/null 2>&1 || true
  xdotool keyup Shift_L Shift_R Control_L Control_R
  # A thousand rolls of 2d6 at once: the triangle of their counts beside
  # the exact odds. Tab moves from the field to Times.
  xdotool key --delay 80 2 d 6 Tab ctrl+a 1 0 0 0 Return
  shoot "$dice" "$(dirname "$output")/dice.png"
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
