#!/usr/bin/env bash
# Builds the .deb and runs Debian's own checker on it at every level,
# pedantic and experimental included. Nothing may be reported; the tags the
# package overrides, each with its reason, are not shown.
#
#   check-lintian.sh BUILD_DIR
set -euo pipefail
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
. "$(dirname "$0")/build-deb.sh"
build_deb "$1" "$out"

status=0
# lintian warns on stderr when it runs as root, as CI does; only its
# report (stdout) and exit status count.
# Its temporary files in $out: lintian leaves an mldbm-elf-* file behind.
TMPDIR="$out" lintian --display-info --display-experimental --pedantic \
  --fail-on error,warning,info,pedantic,experimental "$deb" >"$out/report" || status=1
if [ -s "$out/report" ]; then
  echo "lintian reports:" >&2
  cat "$out/report" >&2
  status=1
fi
exit "$status"
