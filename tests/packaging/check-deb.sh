#!/usr/bin/env bash
# Checks the package's metadata and contents: version 1.00, dependencies
# on the runtime libraries (never a -dev package), and the binary, menu
# entry, icon, AppStream data, manual page and documents inside.
#
#   check-deb.sh PACKAGE.deb
set -euo pipefail
deb="$1"

status=0
fail() { echo "$*" >&2; status=1; }

version="$(dpkg-deb -f "$deb" Version)"
[ "$version" = "1.00" ] || fail "version is '$version', not 1.00"
[ "$(dpkg-deb -f "$deb" Package)" = "tambrel" ] || fail "package name is not tambrel"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
case "$depends" in *libqt6widgets6*) ;; *) fail "does not depend on libqt6widgets6" ;; esac
case "$depends" in *libqt6gui6*) ;; *) fail "does not depend on libqt6gui6" ;; esac
for needed in fonts-liberation sound-theme-freedesktop libcanberra0 libcanberra-pulse; do
  case "$depends" in *"$needed"*) ;; *) fail "does not depend on $needed" ;; esac
done
case "$depends" in *-dev*) fail "depends on a development package" ;; esac

contents="$(dpkg-deb -c "$deb")"
for file in ./usr/games/tambrel \
            ./usr/share/man/man6/tambrel.6.gz \
            ./usr/share/doc/tambrel/copyright \
            ./usr/share/doc/tambrel/changelog.gz \
            ./usr/share/lintian/overrides/tambrel \
            ./usr/share/applications/org.tambrel.Tambrel.desktop \
            ./usr/share/metainfo/org.tambrel.Tambrel.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/org.tambrel.Tambrel.svg; do
  grep -q " $file\$" <<<"$contents" || fail "not in the package: $file"
done
# Only the program ships: no test binaries, no static libraries.
if grep -qE 'tests|\.a$' <<<"$contents"; then fail "the package holds build or test files"; fi
exit "$status"
