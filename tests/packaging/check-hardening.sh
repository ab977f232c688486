#!/usr/bin/env bash
# Runs hardening-check on the binary in the package: PIE, stack protector,
# fortified functions, full RELRO with BIND_NOW and control-flow protection
# must all be there. BUILD_DIR is the build folder the package was made in,
# whose object files show the control-flow mark where the binary cannot.
#
#   check-hardening.sh PACKAGE.deb BUILD_DIR
set -euo pipefail
deb="$1"
build_dir="$2"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
dpkg-deb -x "$deb" "$out/root"
binary="$out/root/usr/games/tambrel"

status=0
fail() { echo "$*" >&2; status=1; }

# The linker marks a program as built for control-flow protection (IBT and
# shadow stack) only when every object in it is, the C library's start
# files included. Debian 12's and 13's are not, so there the mark cannot be had;
# what can be checked is that every object of the program's own carries it.
options=()
unmarked=()
for start_file in Scrt1.o crti.o crtn.o; do
  path="$(c++ -print-file-name="$start_file")"
  readelf -n "$path" | grep -q 'x86 feature: IBT, SHSTK' || unmarked+=("$path")
done
if [ ${#unmarked[@]} -gt 0 ]; then
  echo "not marked for control-flow protection: ${unmarked[*]} (the C library's);"
  echo "checking the program's own objects for the mark instead"
  options+=(--nocfprotection)
  objects="$(find "$build_dir/src" -name '*.o')"
  [ -n "$objects" ] || fail "no object files under $build_dir/src"
  for object in $objects; do
    readelf -n "$object" | grep -q 'x86 feature: IBT, SHSTK' ||
      fail "built without control-flow protection: $object"
  done
fi

# hardening-check 2.25 (Debian 13) adds a "Branch Protection" line, which
# looks for the AArch64 mark (BTI, PAC); x86's counterpart is the control-
# flow line above. Earlier versions have neither the line nor its option.
if [ "$(uname -m)" != aarch64 ] && grep -q nobranchprotection "$(command -v hardening-check)"; then
  echo "Branch Protection is an AArch64 mark (BTI, PAC), which a program for $(uname -m) cannot carry; not looked for"
  options+=(--nobranchprotection)
fi

hardening-check "${options[@]}" "$binary" >"$out/report" || status=1
cat "$out/report"
for protection in "Position Independent Executable" "Stack protected" \
                  "Fortify Source functions" "Read-only relocations" "Immediate binding"; do
  grep -q "^ $protection: yes" "$out/report" || fail "not protected: $protection"
done
exit "$status"
