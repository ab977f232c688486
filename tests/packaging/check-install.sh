#!/usr/bin/env bash
# Installs into a scratch prefix and checks that every file a desktop needs
# is where it looks for it, and that the menu entry and AppStream data are
# valid.
#
#   check-install.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/release-only.sh"
source_dir="$1"
build_dir="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
status=0
for file in games/tambrel \
            share/man/man6/tambrel.6.gz \
            share/applications/org.tambrel.Tambrel.desktop \
            share/metainfo/org.tambrel.Tambrel.metainfo.xml \
            share/icons/hicolor/scalable/apps/org.tambrel.Tambrel.svg; do
  if [ ! -f "$prefix/$file" ]; then
    echo "missing after install: $file" >&2
    status=1
  fi
done
[ -x "$prefix/games/tambrel" ] || { echo "games/tambrel is not executable" >&2; status=1; }

desktop-file-validate "$prefix/share/applications/org.tambrel.Tambrel.desktop" || status=1
appstreamcli validate --no-net --pedantic \
  "$prefix/share/metainfo/org.tambrel.Tambrel.metainfo.xml" || status=1

# The entry starts the binary that was installed, by its full path under
# this prefix, and names the icon that was.
grep -qxF "Exec=$prefix/games/tambrel" "$prefix/share/applications/org.tambrel.Tambrel.desktop" || {
  echo "the desktop entry does not start $prefix/games/tambrel" >&2; status=1; }
grep -qx 'Icon=org.tambrel.Tambrel' "$prefix/share/applications/org.tambrel.Tambrel.desktop" || {
  echo "the desktop entry names another icon" >&2; status=1; }
exit "$status"
