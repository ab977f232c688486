#!/usr/bin/env bash
# Installs the package on this machine with dpkg, starts the program the
# way its menu entry does under a private Xvfb, closes its window, purges
# the package and checks that none of its files is left. The package is
# purged on any way out, so a failure halfway leaves the machine as it was.
#
# Needs root, and the packages tambrel depends on installed. Skipped (exit
# 77) when not root, or when tambrel or any of its files is already on the
# machine: that install belongs to someone else.
#
#   check-system-install.sh SOURCE_DIR PACKAGE.deb
set -euo pipefail
source_dir="$1"
window_title='Tambrel Generation'

# Inside Xvfb: start the entry's command, wait for its window, close it as
# the close box would, and expect the program to end by itself.
if [ "$source_dir" = --inside-x ]; then
  "${@:2}" &
  pid=$!
  if ! window="$(timeout 30 xdotool search --sync --name "^$window_title\$" | head -n 1)"; then
    echo "no window named '$window_title' appeared within 30 s" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
  fi
  echo "window $window: $(xdotool getwindowname "$window")"
  wmctrl -c "$window_title"
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "the program did not end within 10 s of closing its window" >&2
    kill "$pid"
    exit 1
  fi
  wait "$pid"
  exit $?
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: installing a package needs root"
  exit 77
fi
if dpkg-query -W -f='${Status}' tambrel 2>/dev/null | grep -qv 'not-installed$'; then
  echo "SKIPPED: tambrel is already known to dpkg ($(dpkg-query -W -f='${Status}' tambrel));"
  echo "this check would replace and then purge it"
  exit 77
fi

out="$(mktemp -d)"
installed=""
# dpkg refuses at once while another dpkg or apt holds its lock; wait for
# it, up to two minutes, rather than fail.
dpkg_waiting() {
  local log="$out/dpkg.log"
  for _ in $(seq 1 60); do
    if DEBIAN_FRONTEND=noninteractive dpkg "$@" >"$log" 2>&1; then return 0; fi
    grep -q 'lock' "$log" || break
    sleep 2
  done
  cat "$log" >&2
  return 1
}
cleanup() {
  if [ -n "$installed" ]; then dpkg_waiting --purge tambrel || true; fi
  rm -rf "$out"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

deb="$(realpath -e "$2")"
# The package's own paths: files, and folders no other package had made.
mapfile -t paths < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^$')
owned=()
for path in "${paths[@]}"; do
  if [ -e "$path" ] || [ -L "$path" ]; then
    if [ ! -d "$path" ]; then
      echo "SKIPPED: $path is already on this machine; this check would overwrite it"
      exit 77
    fi
  else
    owned+=("$path")
  fi
done

status=0
fail() { echo "$*" >&2; status=1; }

installed=1
dpkg_waiting -i "$deb" || exit 1
[ "$(dpkg-query -W -f='${Status}' tambrel)" = "install ok installed" ] || fail "tambrel is not installed"

# The menu entry's command, as a launcher runs it: no field codes to expand.
entry=/usr/share/applications/org.tambrel.Tambrel.desktop
exec_line="$(sed -n 's/^Exec=//p' "$entry")"
echo "Exec=$exec_line"
read -r -a command <<<"$exec_line"
"$source_dir/scripts/with-xvfb.sh" "$0" --inside-x "${command[@]}" || fail "the menu entry's command did not run as expected"

# Typed in a shell: /usr/games is on the PATH that /etc/profile gives an
# ordinary user's login shell.
found="$(setpriv --reuid=nobody --regid=nogroup --clear-groups \
           env -i HOME=/ bash -l -c 'command -v tambrel' 2>/dev/null)" || true
[ "$found" = /usr/games/tambrel ] || fail "an ordinary user's login shell finds '$found', not /usr/games/tambrel"

installed=""
dpkg_waiting --purge tambrel || fail "dpkg --purge failed"
dpkg-query -W -f='${Status}' tambrel 2>/dev/null | grep -qv 'not-installed$' && fail "dpkg still knows tambrel after the purge"
for path in "${owned[@]}"; do
  if [ -e "$path" ] || [ -L "$path" ]; then fail "left after the purge: $path"; fi
done
exit "$status"
