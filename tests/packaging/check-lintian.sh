#!/usr/bin/env bash
# Runs Debian's own checker on each file of the package at every level,
# pedantic and experimental included, and prints its result for each:
# nothing may be reported. The tags the package overrides, each with its
# reason (debian/source/lintian-overrides, debian/tambrel.lintian-overrides),
# are listed as overridden.
#
#   check-lintian.sh FILE...     (.dsc, .changes, .deb)
set -euo pipefail
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

echo "$(lintian --version), every level:"
status=0
for file in "$@"; do
  # Its temporary files in $out: lintian leaves an mldbm-elf-* file behind.
  result=0
  TMPDIR="$out" lintian --display-info --display-experimental --pedantic --show-overrides \
    --fail-on error,warning,info,pedantic,experimental "$file" >"$out/report" || result=$?
  # An overridden tag is shown with an O:, after its override's comment
  # (N:), and does not count; lintian's exit status counts it (2, as for
  # a tag), so only 1, lintian's own failure, is taken from there.
  if grep -qv '^[ON]: ' "$out/report" || [ "$result" -eq 1 ] ||
     { [ "$result" -ne 0 ] && ! grep -q '^O: ' "$out/report"; }; then
    echo "  $(basename "$file"): lintian reports (exit status $result):" >&2
    { grep -v '^[ON]: ' "$out/report" || true; } | sed 's/^/    /' >&2
    status=1
  else
    echo "  $(basename "$file"): no tag"
  fi
  if grep -q '^O: ' "$out/report"; then
    echo "    overridden, after the reason the override gives:"
    grep '^[ON]: ' "$out/report" | sed 's/^/      /'
  fi
done
exit "$status"
