#!/usr/bin/env bash
# Runs a command on a private Xvfb display managed by a window manager,
# openbox unless told otherwise, then stops both and exits with the
# command's status. The window's size rules only
# show themselves against a real window manager, which frames, places and
# resizes windows on its own time; Qt's offscreen platform does none of it.
#
#   scripts/with-xvfb.sh COMMAND [ARG...]
#
# XVFB_SCREEN overrides the screen (default 1920x1080x24); XVFB_WM the
# window manager: openbox (the default) or xfwm4, Xfce's.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi
wm="${XVFB_WM:-openbox}"
case "$wm" in
  openbox | xfwm4) ;;
  *) echo "$0: XVFB_WM must be openbox or xfwm4, not '$wm'" >&2; exit 2 ;;
esac
for tool in Xvfb "$wm" wmctrl; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; run scripts/install-deps.sh" >&2
    exit 2
  fi
done

screen="${XVFB_SCREEN:-1920x1080x24}"
. "$(dirname "$0")/processes.sh"

# The server picks a free display itself and writes its number to the file,
# so two runs side by side never race for the same one. The file is made
# first: the loop below may read it before the server's shell has.
: >"$work/display"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
started "$xvfb_pid"

# A busy machine may take long to start either server; the waits end when
# a server exits, or after two minutes.
display=""
for _ in $(seq 1 2400); do
  display="$(tr -d '[:space:]' <"$work/display")"
  [ -n "$display" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "$0: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.05
done
if [ -z "$display" ]; then
  echo "$0: Xvfb gave no display number within 120 s" >&2
  exit 1
fi
export DISPLAY=":$display"

# A home of its own keeps the window manager from reading or writing the
# user's config. xfwm4 reads its settings through xfconf, on a session bus
# of its own here, so that it neither finds the user's settings daemon nor
# starts one that would outlive it; it runs on its defaults.
mkdir -p "$work/home"
if [ "$wm" = openbox ]; then
  HOME="$work/home" openbox --sm-disable >"$work/wm.log" 2>&1 &
else
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/runtime/wm-bus" \
    >"$work/wm-bus.log" 2>&1 &
  started $!
  for _ in $(seq 1 2400); do
    [ -S "$work/runtime/wm-bus" ] && break
    sleep 0.05
  done
  HOME="$work/home" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/runtime/wm-bus" \
    xfwm4 --compositor=off --sm-client-disable >"$work/wm.log" 2>&1 &
fi
wm_pid=$!
started "$wm_pid"

# wmctrl answers only once a window manager has announced itself on the
# root window, which it does when it is ready to manage windows.
ready=""
for _ in $(seq 1 2400); do
  if wmctrl -m >/dev/null 2>&1; then ready=1; break; fi
  if ! kill -0 "$wm_pid" 2>/dev/null; then break; fi
  sleep 0.05
done
if [ -z "$ready" ]; then
  echo "$0: $wm did not become ready:" >&2
  cat "$work/wm.log" >&2
  exit 1
fi

export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
run_and_exit "$@"
