#!/usr/bin/env bash
# Installs, from Debian's packages, whatever building, running and testing
# Tambrel needs and this machine lacks. Safe to run again.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  clang libclang-rt-14-dev
  qt6-base-dev libgl-dev libboost-math-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation
  xvfb xauth openbox x11-utils xdotool wmctrl
  desktop-file-utils appstream dpkg-dev
  orca at-spi2-core dbus xclip
  lintian devscripts man-db groff-base
  reprotest diffoscope-minimal faketime locales-all
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
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
