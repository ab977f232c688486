# Sourced by the set-up scripts. A step's whole output goes to a log file
# and the terminal gets one line for it, with the log's path; VERBOSE=1 shows
# the output as it comes, and keeps the log too. A step that fails prints the
# end of its log that explains it.
#
#   logged LOG MESSAGE CMD...        print MESSAGE, run CMD
#   logged_work LOG MESSAGE CMD...   print MESSAGE only once CMD does some work:
#                                    compiles, links, generates or configures
#   cmake_build SOURCE DIR ARG...    configure DIR (only when ARGs ask for what
#                                    its cache does not hold), then build it

logged() { logged_when "" "$@"; }
logged_work() { logged_when 'Building |Linking |Generating |Configuring' "$@"; }

logged_when() {
  local work="$1" log="$2" message="$3"
  shift 3
  mkdir -p "$(dirname "$log")"
  local status=0
  if [ "${VERBOSE:-0}" = 1 ]; then
    echo "$message (log: $log)"
    "$@" 2>&1 | tee "$log" || status=$?
  elif [ -z "$work" ]; then
    echo "$message (log: $log)"
    "$@" >"$log" 2>&1 || status=$?
  else
    "$@" 2>&1 | announce_on_work "$work" "$message (log: $log)" 3>&1 >"$log" || status=$?
  fi
  if [ "$status" -ne 0 ]; then show_failure "$message" "$log"; fi
  return "$status"
}

# Copies its input to stdout, and prints the message to fd 3 at the first
# line that matches.
announce_on_work() {
  local line told=""
  while IFS= read -r line || [ -n "$line" ]; do
    printf '%s\n' "$line"
    if [ -z "$told" ] && [[ "$line" =~ $1 ]]; then
      echo "$2" >&3
      told=1
    fi
  done
}

# The first error in the log and what follows it, or the log's last lines
# when the error is among them or none is recognised.
show_failure() {
  local message="$1" log="$2" total first
  total="$(wc -l <"$log")"
  first="$(grep -n -m 1 -E ': (fatal )?error:|CMake Error|^E: |ERROR|FAILED' "$log" | cut -d: -f1 || true)"
  {
    echo "FAILED: $message; from its log $log:"
    if [ -n "$first" ] && [ "$first" -lt $((total - 40)) ]; then
      sed -n "$((first > 3 ? first - 3 : 1)),$((first + 36))p" "$log"
      echo "[...]"
      tail -n 3 "$log"
    else
      tail -n 40 "$log"
    fi
  } >&2
}

cmake_build() {
  local source="$1" dir="$2"
  shift 2
  if ! configured "$dir" "$@"; then
    logged "$dir/logs/configure.log" "Configuring" cmake -S "$source" -B "$dir" "$@"
  fi
  logged_work "$dir/logs/build.log" "Building" cmake --build "$dir" -j2
}

# Whether DIR was configured with every -DNAME=VALUE given (the last one of
# a name counts). An up-to-date build then skips the configure step; the
# build itself re-runs it when a CMake file has changed.
configured() {
  local dir="$1" arg name value
  shift
  [ -f "$dir/CMakeCache.txt" ] && [ -f "$dir/CMakeFiles/cmake.check_cache" ] || return 1
  local -A wanted=()
  for arg in "$@"; do
    case "$arg" in
      -D?*=*)
        name="${arg#-D}"
        value="${name#*=}"
        name="${name%%=*}"
        wanted["${name%%:*}"]="$value"
        ;;
      *) return 1 ;;
    esac
  done
  for name in "${!wanted[@]}"; do
    value="$(sed -n "s/^$name:[A-Z]*=//p" "$dir/CMakeCache.txt")"
    # A compiler named by its command is cached by its full path.
    [ "$value" = "${wanted[$name]}" ] ||
      [ "$value" = "$(command -v "${wanted[$name]}" 2>/dev/null)" ] || return 1
  done
}
