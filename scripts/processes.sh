# Sourced by the scripts that start servers for a command or a test. It
# makes a scratch folder, $work, and stops every process handed to
# `started` when the script ends, however it ends: newest first, so that no
# client outlives its server, and nothing that was not started here.
#
#   started PID          stop PID when the script ends
#   run_and_exit CMD...  run CMD, then exit with its status

work="$(mktemp -d)"
started_pids=()

# Everything started from here keeps its settings, data, cache, state and
# runtime files in $work, gone with it, never in the user's folders.
mkdir -p "$work/xdg/config" "$work/xdg/data" "$work/xdg/cache" "$work/xdg/state" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/xdg/config" XDG_DATA_HOME="$work/xdg/data"
export XDG_CACHE_HOME="$work/xdg/cache" XDG_STATE_HOME="$work/xdg/state"
export XDG_RUNTIME_DIR="$work/runtime"

started() { started_pids+=("$1"); }

# A process that has not ended 5 s after TERM is killed: an X server that
# is told to stop while it is still starting loses the request and runs on.
stop_started() {
  local i pid
  for ((i = ${#started_pids[@]} - 1; i >= 0; i--)); do
    pid="${started_pids[i]}"
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      running "$pid" || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}

# Whether PID runs, an ended child not yet waited for (a zombie) aside.
running() {
  local state
  state="$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$1/status" 2>/dev/null)" || return 1
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}
trap stop_started EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# In the background, so that a TERM from a test driver's timeout is acted on
# at once rather than after the command ends.
run_and_exit() {
  "$@" &
  local pid=$!
  started "$pid"
  local status=0
  wait "$pid" || status=$?
  unset 'started_pids[-1]'
  exit "$status"
}
