# Sourced by the tests here, which run inside scripts/with-xvfb.sh: the
# installed Tambrel on that private X server and window manager, driven as a
# user drives it, with the mouse and the keyboard (xdotool), its values read
# back from the clipboard (xclip).

program=/usr/games/tambrel
title='Tambrel Generation'

# The middle of each control the tests use, in pixels of the window's
# client area: the layout's twips divided by 15.
declare -A at=([txtNum]="294 76" [txtRolled]="292 112" [cmdGenerate]="42 160" [cmdExit]="304 160")

# start [NAME=VALUE...]: starts the program with these variables set, and
# waits for its window to show; sets pid and window.
start() {
  env "$@" "$program" &
  pid=$!
  if ! window="$(timeout 30 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)" ||
     [ -z "$window" ]; then
    echo "no window named '$title' showed within 30 s" >&2
    return 1
  fi
  xdotool windowactivate --sync "$window"
  echo "window '$(xdotool getwindowname "$window")' shown"
}

click() {
  # shellcheck disable=SC2086 # two numbers, x and y
  xdotool mousemove --window "$window" ${at[$1]} click 1
}

# roll SIDES COUNT: types the number of sides and the count into their boxes
# and clicks Generate Number.
roll() {
  click txtNum
  xdotool key ctrl+a type "$1"
  click txtRolled
  xdotool key ctrl+a type "$2"
  click cmdGenerate
}

# The values shown, as Copy Values (Ctrl+Shift+C) puts them on the
# clipboard: a tab between the values of a row. Sets values.
copy_values() {
  xdotool key --window "$window" ctrl+shift+c
  values=""
  for _ in $(seq 1 100); do
    values="$(xclip -o -selection clipboard 2>/dev/null || true)"
    [ -n "$values" ] && break
    sleep 0.1
  done
  if [ -z "$values" ]; then
    echo "nothing on the clipboard 10 s after Copy Values" >&2
    return 1
  fi
  values="$(tr '\t' ' ' <<<"$values")"
  echo "values shown: $values"
}

# Clicks Exit and expects the program to end by itself, with status 0.
exit_by_button() {
  click cmdExit
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "the program was still running 10 s after Exit" >&2
    kill "$pid"
    return 1
  fi
  local status=0
  wait "$pid" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "the program ended with status $status after Exit" >&2
    return 1
  fi
  echo "Exit clicked: the program ended with status 0"
}
