#!/usr/bin/env bash
# Runs a command as a native Wayland client of a private, headless weston,
# then stops weston and exits with the command's status. Weston gets a
# runtime folder and a socket of its own, so that runs side by side never
# meet, and nothing of the user's session is touched.
#
#   scripts/with-weston.sh COMMAND [ARG...]
#
# WESTON_SIZE overrides the output size (default 1920x1080).
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi
if ! command -v weston >/dev/null; then
  echo "$0: weston is missing; run scripts/install-deps.sh" >&2
  exit 2
fi

size="${WESTON_SIZE:-1920x1080}"
. "$(dirname "$0")/processes.sh"

mkdir -p "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
socket="tambrel-wayland"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
  weston --backend=headless-backend.so --socket="$socket" \
  --width="${size%x*}" --height="${size#*x}" --idle-time=0 \
  --log="$work/weston.log" >"$work/weston.out" 2>&1 &
weston_pid=$!
started "$weston_pid"

# Weston creates its socket once it is ready for clients.
for _ in $(seq 1 200); do
  [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
  if ! kill -0 "$weston_pid" 2>/dev/null; then break; fi
  sleep 0.05
done
if [ ! -S "$XDG_RUNTIME_DIR/$socket" ]; then
  echo "$0: weston did not start:" >&2
  cat "$work/weston.out" "$work/weston.log" >&2 2>/dev/null || true
  exit 1
fi

export WAYLAND_DISPLAY="$socket"
export QT_QPA_PLATFORM=wayland
unset DISPLAY
run_and_exit "$@"
