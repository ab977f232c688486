#!/usr/bin/env bash
# Builds the source package a second time with reprotest, under other
# conditions, and expects the same packages, byte for byte, as the first
# build; where they differ, diffoscope's report shows how.
#
# The first build is the one given (reprotest's control build, not made
# again). The second is made with DEB_BUILD_OPTIONS=nocheck, the program
# alone, since the tests must not change what is packaged, and varies, by
# reprotest's own variations: the build folder's path, the date and time
# (faketime, 400 days ahead: named, since reprotest left to itself may keep
# the real clock), the time zone, the locale (et_EE.UTF-8, which must be
# installed), the umask (0002), HOME, the user's name as USER, LOGNAME and
# USERNAME say it, other environment variables, PATH, the CPUs it may run
# on, the kernel and machine uname reports, address space randomisation,
# and the host and domain names (in a namespace of its own, where this
# machine allows one).
# Not varied: the account itself (user_group needs a second account and
# sudo), and the order of folder entries (fileordering mounts the FUSE file
# system disorderfs, which needs /dev/fuse).
#
#   check-reproducible.sh PACKAGE.dsc FOLDER
#
# FOLDER holds the first build's packages (the .deb files, the debugging
# symbols' among them), and nothing else.
# The packages the source package builds with must be installed.
set -euo pipefail
dsc="$(realpath -e "$1")"
control="$(realpath -e "$2")"
for tool in reprotest diffoscope faketime; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

variations="+all,-user_group,-fileordering"
if ! unshare -r --uts true 2>/dev/null; then
  echo "no namespace of our own here: the host and domain names are not varied"
  variations+=",-domain_host"
fi
if ! setarch "$(uname -m)" -R true 2>/dev/null; then
  echo "setarch is refused here: the kernel name and address randomisation are not varied"
  variations+=",-kernel,-aslr"
fi

# reprotest keeps a build's packages in a folder source-root/ of its own.
mkdir -p "$work/control/source-root"
cp "$control"/* "$work/control/source-root/"

status=0
# reprotest builds in a copy of the folder it is started in, which holds
# the source package alone. Its temporary folders in $work: it leaves an
# empty one behind.
mkdir "$work/source"
cp "$dsc" "$(dirname "$dsc")/$(basename "$dsc" .dsc).tar."* "$work/source/"
(cd "$work/source" &&
   TMPDIR="$work" DEB_BUILD_OPTIONS="nocheck parallel=2" \
   reprotest --verbosity 1 --store-dir "$work/store" --control-build "$work/control" \
     --variations="$variations" \
     --vary='environment.variables+=USER=tambrel-rebuilder;LOGNAME=tambrel-rebuilder;USERNAME=tambrel-rebuilder' \
     --vary='time.faketimes+=+400days+7hours+13minutes' \
     "$(basename "$dsc")" -- null) \
  </dev/null >"$work/reprotest.log" 2>&1 || status=$?

# What was varied, as reprotest chose it.
grep -o 'INFO:reprotest.build:.* variation: .*' "$work/reprotest.log" | sed 's/^INFO:reprotest.build:/  /' || true

# On success reprotest prints the hashes of the packages.
if [ "$status" -eq 0 ] && grep -qx 'Reproduction successful' "$work/reprotest.log"; then
  echo "the second build gave the same bytes:"
  (cd "$control" && sha256sum -- *)
  exit 0
fi
report="$(find "$work/store" -name '*.diffoscope.out' -size +0 2>/dev/null | head -n 1)"
if [ -n "$report" ]; then
  echo "the two builds differ; diffoscope's report, first 150 lines:" >&2
  head -n 150 "$report" >&2
else
  echo "reprotest failed (exit status $status):" >&2
  tail -n 60 "$work/reprotest.log" >&2
fi
exit 1
