# Sourced by the scripts that start servers for a command or a test. It
# makes a scratch folder, $work, and stops every process handed to
# `started` when the script ends, however it ends: newest first, so that no
# client outlives its server, and nothing that was not started here.
#
#   started PID          stop PID when the script ends
#   run_and_exit CMD...  run CMD, then exit with its status

work="$(mktemp -d)"
started_pids=()

started() { started_pids+=("$1"); }

stop_started() {
  local i
  for ((i = ${#started_pids[@]} - 1; i >= 0; i--)); do
    kill "${started_pids[i]}" 2>/dev/null || true
    wait "${started_pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
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
