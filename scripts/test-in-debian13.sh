#!/usr/bin/env bash
# CI's second stage, after scripts/test.sh on this machine (Debian 12):
# Debian 13 ("trixie"), each part in a fresh root of its own made by
# scripts/in-debian.sh from the last commit.
#
#  1. The build and the whole test suite, as scripts/test.sh runs them; the
#     fuzzer and the sanitizer run stay on this machine.
#  2. The release package built here, on Debian 12: the packages it depends
#     on installed there by apt, then the package itself with dpkg; its menu
#     entry's command (/usr/games/tambrel) started under Xvfb until its
#     window shows, closed, and the package purged, none of its files left
#     (tests/packaging/check-system-install.sh). One package for both.
#
#   scripts/test-in-debian13.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
release=trixie
start=$SECONDS
. "$root/scripts/logged.sh"

echo "Debian 13 ($release), in a fresh root: the build and the whole test suite"
"$root/scripts/in-debian.sh" "$release" ./scripts/test.sh --suite-only
suite=$((SECONDS - start))

host="$(. /etc/os-release && echo "$PRETTY_NAME")"
echo "Debian 13 ($release), in a fresh root: the package built here on $host, installed, started and purged"
"$root/scripts/build.sh" build
out="$root/build/package-for-$release"
rm -rf "$out"
mkdir -p "$out"
logged "$out/cpack.log" "Packaging the release build" bash -c "cd '$root/build' && cpack -G DEB -B '$out'"
deb="$(find "$out" -maxdepth 1 -name 'tambrel_*.deb' | head -n 1)"
[ -n "$deb" ] || { echo "$0: cpack made no package in $out" >&2; exit 1; }
echo "$(basename "$deb"): $(sha256sum "$deb" | cut -d' ' -f1)"

# Inside the root: what the package depends on, as apt resolves it there,
# and the X server, window manager and tools the check drives it with.
install_and_run='
  set -euo pipefail
  deb="/build/$1"
  depends="$(dpkg-deb -f "$deb" Depends)"
  echo "Depends: $depends"
  {
    apt-get -o DPkg::Lock::Timeout=300 update &&
      DEBIAN_FRONTEND=noninteractive apt-get satisfy -y --no-install-recommends "$depends" &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends xvfb openbox wmctrl xdotool
  } >/build/apt.log 2>&1 || { tail -n 40 /build/apt.log >&2; exit 1; }
  echo "Installed with apt: $(grep -c "^Setting up " /build/apt.log) packages; now tambrel itself"
  tests/packaging/check-system-install.sh . "$deb"
  echo "tambrel installed, started, closed and purged on Debian $(cat /etc/debian_version); none of its files left"
'
"$root/scripts/in-debian.sh" --copy "$deb" "$release" bash -c "$install_and_run" install "$(basename "$deb")"
echo "Debian 13 stage: the suite in $suite s, the whole stage in $((SECONDS - start)) s"
