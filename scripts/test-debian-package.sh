#!/usr/bin/env bash
# CI's package stage: Tambrel's Debian source package, built and checked by
# Debian's own tools, each step in a fresh root of its own made by
# scripts/in-debian.sh from the last commit.
#
#  1. Debian 13: dpkg-buildpackage -S makes the source package (.dsc and
#     .tar.xz) from the clean clone of the commit.
#  2. For each release: a fresh root is given the source package alone;
#     apt-get build-dep installs what its Build-Depends name, and
#     dpkg-buildpackage -b builds the binary package as an ordinary user,
#     dh_auto_test running the tests that need nothing but the build. Then
#     lintian, at every level, on the .dsc, each .changes and the .deb:
#     no tag at all; hardening-check on the binary; the package's contents
#     and Depends; and a second build of the same .dsc in another folder,
#     later, in another time zone and locale, which must give the same bytes.
#  3. For each release, another fresh root: the .deb installed with what it
#     depends on, started from its menu entry under Xvfb, closed and purged,
#     none of its files left; then autopkgtest installs it again and runs
#     debian/tests/ (the virt server "null": the tests run in that root).
#
# The packages and the logs come back to build/debian-package/.
#
#   scripts/test-debian-package.sh [RELEASE...]   (default: trixie bookworm)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# Inside a root, in the clone: one step each.
apt_install() {
  {
    apt-get -o DPkg::Lock::Timeout=300 update &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"
  } >>/build/out/apt.log 2>&1 || { tail -n 40 /build/out/apt.log >&2; return 1; }
}

# Runs a step with its output in a log in /build/out/, which comes back to
# build/debian-package/; prints the part of the log that explains a failure.
step() {
  local log="/build/out/$1"
  shift
  if ! "$@" >"$log" 2>&1; then
    . scripts/logged.sh
    show_failure "$*" "$log"
    return 1
  fi
}

inside_source() {
  # Making a source package runs debian/rules clean and needs no more than
  # dpkg-dev and debhelper; -d leaves out the check for the rest of
  # Build-Depends, which building the binary needs.
  apt_install dpkg-dev debhelper
  step source-build.log dpkg-buildpackage -S -us -uc -d
  cp /build/tambrel_* /build/out/
  local dsc
  dsc="$(cd /build/out && ls tambrel_*.dsc)"
  echo "Source package made by dpkg-buildpackage -S ($(dpkg-query -W -f='${Version}' dpkg-dev)): $dsc"
  (cd /build/out && sha256sum tambrel_*.dsc tambrel_*.tar.*) | sed 's/^/  /'
}

inside_binary() {
  local dsc
  dsc="$(ls /build/tambrel_*.dsc)"
  apt-get -o DPkg::Lock::Timeout=300 update >/build/out/apt.log 2>&1
  (cd /build && DEBIAN_FRONTEND=noninteractive apt-get build-dep -y "./$(basename "$dsc")") \
    >>/build/out/apt.log 2>&1 || { tail -n 40 /build/out/apt.log >&2; return 1; }
  echo "apt-get build-dep installed $(grep -c '^Setting up ' /build/out/apt.log) packages for $(basename "$dsc")"

  # Built by an ordinary user, as Debian's build daemons build.
  useradd --create-home builder
  install -d -o builder /build/first
  step binary-build.log runuser -u builder -- sh -c "
    cd /build/first && dpkg-source -x '$dsc' tambrel && cd tambrel &&
    DEB_BUILD_OPTIONS=parallel=2 dpkg-buildpackage -b -us -uc"
  grep -E '^(dpkg-buildpackage: info: (source|binary-only)|[0-9]+% tests passed)' /build/out/binary-build.log |
    sed 's/^/  /'
  local deb changes
  deb="$(ls /build/first/tambrel_*.deb)"
  changes="$(ls /build/first/tambrel_*.changes)"
  echo "Binary package built from the .dsc alone: $(basename "$deb"), sha256 $(sha256sum "$deb" | cut -d' ' -f1)"
  cp /build/first/tambrel_* /build/first/tambrel-dbgsym_* /build/out/

  apt_install lintian devscripts reprotest diffoscope-minimal faketime locales
  # The one locale reprotest's second build runs in.
  localedef -i et_EE -f UTF-8 et_EE.UTF-8
  local status=0 files=("$changes" "$deb")
  # The source package, made on Debian 13, is judged by Debian 13's lintian,
  # as the archive it would be uploaded to judges it with its own; each
  # release's lintian judges the binary package built there.
  if [ "$1" = with-source ]; then files=("$dsc" /build/tambrel_*_source.changes "${files[@]}"); fi
  runuser -u builder -- tests/packaging/check-lintian.sh "${files[@]}" || status=1
  echo "hardening-check:"
  tests/packaging/check-hardening.sh "$deb" /build/first/tambrel/obj-* | sed 's/^/  /' || status=1
  echo "Contents and Depends:"
  tests/packaging/check-deb.sh "$deb" | sed 's/^/  /' || status=1

  # The first build's packages against a second build's.
  mkdir /build/first-packages
  find /build/first -maxdepth 1 \( -name '*.deb' -o -name '*.ddeb' \) -exec cp {} /build/first-packages/ \;
  echo "Built again, elsewhere, with reprotest:"
  tests/packaging/check-reproducible.sh "$dsc" /build/first-packages | sed 's/^/  /' || status=1
  return "$status"
}

inside_install() {
  local deb dsc
  deb="$(ls /build/tambrel_*.deb)"
  dsc="$(ls /build/tambrel_*.dsc)"
  # What the package depends on, as apt resolves it here, and the X
  # server, window manager and tools the install check drives it with.
  apt-get -o DPkg::Lock::Timeout=300 update >/build/out/apt.log 2>&1
  DEBIAN_FRONTEND=noninteractive apt-get satisfy -y --no-install-recommends \
    "$(dpkg-deb -f "$deb" Depends)" >>/build/out/apt.log 2>&1 ||
    { tail -n 40 /build/out/apt.log >&2; return 1; }
  apt_install xvfb openbox wmctrl xdotool
  tests/packaging/check-system-install.sh . "$deb"
  echo "$(basename "$deb") installed with dpkg, started from its menu entry, closed and purged; none of its files left"

  # autopkgtest unpacks the .dsc with dpkg-source for its tests.
  apt_install autopkgtest dpkg-dev
  echo "autopkgtest $(dpkg-query -W -f='${Version}' autopkgtest), virt server null, on $(basename "$deb") and $(basename "$dsc"):"
  local status=0
  # Each test takes seconds: one that hangs fails after five minutes
  # rather than autopkgtest's default of nearly three hours.
  autopkgtest --timeout-test=300 --output-dir /build/out/autopkgtest "$deb" "$dsc" -- null \
    >/build/out/autopkgtest.log 2>&1 || status=$?
  local test
  for test in $(sed -n 's/^Tests: *//p' debian/tests/control); do
    echo "  $test, what it printed:"
    sed 's/^/    /' "/build/out/autopkgtest/$test-stdout" 2>/dev/null || true
  done
  echo "  autopkgtest's summary:"
  sed 's/^/    /' /build/out/autopkgtest/summary 2>/dev/null || true
  if [ "$status" -ne 0 ]; then
    echo "autopkgtest failed (exit status $status); the end of its log:" >&2
    tail -n 80 /build/out/autopkgtest.log >&2
  fi
  return "$status"
}

case "${1:-}" in
  --inside-source) inside_source; exit ;;
  --inside-binary) inside_binary "${2:-}"; exit ;;
  --inside-install) inside_install; exit ;;
esac

releases=("$@")
[ ${#releases[@]} -gt 0 ] || releases=(trixie bookworm)
out="$root/build/debian-package"
start=$SECONDS

echo "Debian 13 (trixie), in a fresh root: the source package"
"$root/scripts/in-debian.sh" --out "$out/source" trixie ./scripts/test-debian-package.sh --inside-source
dsc="$(ls "$out"/source/tambrel_*.dsc)"
echo "Source package made in $((SECONDS - start)) s"

# A root of a release, as a child that a TERM or INT is passed on to.
in_root() {
  "$root/scripts/in-debian.sh" "$@" &
  child=$!
  wait "$child"
}

# One release's binary package, built from the source package alone, and
# its tests; each in a root of its own.
release_chain() {
  local release="$1" begun=$SECONDS
  child=""
  trap '[ -z "$child" ] || kill "$child" 2>/dev/null; exit 143' TERM INT
  echo "$release, in a fresh root: the binary package from $(basename "$dsc") alone, lintian, hardening, a second build"
  in_root --copy "$dsc" --copy "${dsc%.dsc}.tar.xz" \
    --copy "$(ls "$out"/source/tambrel_*_source.changes)" \
    --copy "$(ls "$out"/source/tambrel_*_source.buildinfo)" \
    --out "$out/$release" "$release" ./scripts/test-debian-package.sh --inside-binary \
    "$([ "$release" = trixie ] && echo with-source)" || return 1
  echo "$release: binary package built and checked in $((SECONDS - begun)) s"

  begun=$SECONDS
  echo "$release, in a fresh root: the package installed, started and purged; autopkgtest"
  in_root --copy "$dsc" --copy "${dsc%.dsc}.tar.xz" \
    --copy "$(ls "$out/$release"/tambrel_*.deb)" \
    --out "$out/$release-installed" "$release" ./scripts/test-debian-package.sh --inside-install || return 1
  echo "$release: installed, purged and tested by autopkgtest in $((SECONDS - begun)) s"
}

# The releases side by side: much of each is waiting on downloads, apt,
# lintian and X, which one release's build leaves idle. Each one's output
# is printed whole once it is done.
pids=()
stop_chains() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait
}
trap 'stop_chains; exit 143' TERM
trap 'stop_chains; exit 130' INT
echo "Side by side, each in fresh roots of its own: ${releases[*]}"
for release in "${releases[@]}"; do
  release_chain "$release" >"$out/$release.log" 2>&1 &
  pids+=($!)
done
status=0
failed=()
for i in "${!releases[@]}"; do
  wait "${pids[i]}" || { status=1; failed+=("${releases[i]}"); }
  cat "$out/${releases[i]}.log"
done
pids=()
echo "Debian package stage in $((SECONDS - start)) s"
if [ "$status" -ne 0 ]; then echo "FAILED: the Debian package on ${failed[*]}" >&2; fi
exit "$status"
