#!/usr/bin/env bash
# Installs, from Debian's packages, whatever building, running and testing
# Tambrel needs and this machine lacks. Safe to run again. Prints one line;
# apt's output goes to build/logs/install-deps.log (VERBOSE=1 shows it).
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  clang libclang-rt-dev
  qt6-base-dev libgl-dev libxcb1-dev libboost-math-dev libsqlitecpp-dev libsqlite3-dev tao-pegtl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation
  xvfb xauth openbox xfwm4 x11-utils xdotool wmctrl
  desktop-file-utils appstream dpkg-dev
  orca at-spi2-core dbus xclip procps
  qt6-wayland weston
  libcanberra-dev libcanberra-pulse sound-theme-freedesktop
  pipewire wireplumber pipewire-pulse pulseaudio-utils dbus-daemon python3
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
root="$(cd "$(dirname "$0")/.." && pwd)"
log="$root/build/logs/install-deps.log"
. "$root/scripts/logged.sh"

# One line: the first four names, and as many more as fit in 160
# characters beside the log's path.
names=""
shown=0
for package in "${missing[@]}"; do
  [ "$shown" -lt 4 ] || [ $((${#names} + ${#package} + ${#log} + 60)) -le 160 ] || break
  names+="${names:+ }$package"
  shown=$((shown + 1))
done
[ "$shown" -eq ${#missing[@]} ] || names+=" and $((${#missing[@]} - shown)) more"

# Another apt or dpkg may hold the lock for a while: wait for it.
apt_install() {
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=300 update &&
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 \
      install -y --no-install-recommends "${missing[@]}"
}
logged "$log" "Installing ${#missing[@]} packages from Debian: $names" apt_install
