#!/usr/bin/env bash
# Builds the package twice from the same commit with reprotest, the second
# time under other conditions, and expects the same bytes; where they
# differ, diffoscope's report shows how. Each build is a release build of
# the program alone, as the README tells a user to rebuild it.
#
# Varied, by reprotest's own variations: the build folder's path, the date
# and time (faketime, months ahead), the time zone, the locale
# (et_EE.UTF-8, from locales-all), the umask (0002), HOME, the user's name
# as USER, LOGNAME and USERNAME say it, other environment variables, PATH,
# the number of CPUs, the kernel and machine uname reports, address space
# randomisation, and the host and domain names (in a namespace of its own,
# where this machine allows one).
# Not varied: the account itself (user_group needs a second account and
# sudo, and reprotest 0.7.23's "sudo -h localhost" is refused by Debian
# 12's sudo), and the order of folder entries (fileordering mounts the FUSE
# file system disorderfs, for root only on most machines).
#
#   check-reproducible.sh SOURCE_DIR
set -euo pipefail
# Judged with the other release-package checks, once per test run: a
# sanitizer or Debug build of the suite has nothing to add.
source "$(dirname "$0")/release-only.sh"
source_dir="$(cd "$1" && pwd)"
for tool in reprotest diffoscope faketime; do
  command -v "$tool" >/dev/null || { echo "$tool is missing; run scripts/install-deps.sh" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
tree="$work/source"

# The commit as it is in the repository; the build takes its time stamp
# from the commit's date. Without git, the files as they are, dated from
# packaging/changelog.
top="$(git -C "$source_dir" rev-parse --show-toplevel 2>/dev/null || true)"
if [ -n "$top" ] && [ "$top" -ef "$source_dir" ] &&
   commit="$(git -C "$source_dir" rev-parse --verify -q HEAD)"; then
  git clone --quiet --shared --no-checkout "$source_dir" "$tree"
  git -C "$tree" checkout --quiet --detach "$commit"
  echo "commit $commit, built twice"
  if [ -n "$(git -C "$source_dir" status --porcelain --untracked-files=no)" ]; then
    echo "changes not yet committed in $source_dir are not part of this check"
  fi
else
  echo "$source_dir is no git checkout: its files are built as they are, and"
  echo "the package is dated from packaging/changelog's newest entry"
  mkdir "$tree"
  tar -C "$source_dir" --exclude='./build*' --exclude=./.cache -cf - . | tar -C "$tree" -xf -
fi

variations="+all,-user_group,-fileordering"
if ! unshare -r --uts true 2>/dev/null; then
  echo "no namespace of our own here: the host and domain names are not varied"
  variations+=",-domain_host"
fi
if ! setarch "$(uname -m)" -R true 2>/dev/null; then
  echo "setarch is refused here: the kernel name and address randomisation are not varied"
  variations+=",-kernel,-aslr"
fi

# The build's own output goes to files in the tree, shown only on failure.
build='scripts/build.sh build -DTAMBREL_BUILD_TESTS=OFF >build.log 2>&1 &&
       (cd build && cpack -G DEB >cpack.log 2>&1) ||
       { tail -n 40 build.log build/cpack.log >&2; exit 1; }'
status=0
# Its temporary folders in $work: reprotest leaves an empty one behind.
TMPDIR="$work" reprotest --verbosity 1 --store-dir "$work/store" \
  --variations="$variations" \
  --vary='environment.variables+=USER=tambrel-rebuilder;LOGNAME=tambrel-rebuilder;USERNAME=tambrel-rebuilder' \
  --source-root "$tree" "$build" 'build/tambrel_*.deb' -- null \
  </dev/null >"$work/reprotest.log" 2>&1 || status=$?

# What was varied, as reprotest chose it.
grep -o 'INFO:reprotest.build:.* variation: .*' "$work/reprotest.log" | sed 's/^INFO:reprotest.build:/  /' || true

# On success reprotest keeps one copy of the package, and its hash.
if [ "$status" -eq 0 ] && grep -qx 'Reproduction successful' "$work/reprotest.log"; then
  echo "the two packages are the same bytes:"
  cat "$work/store/SHA256SUMS"
  exit 0
fi
report="$(find "$work/store" -name '*.diffoscope.out' -size +0 2>/dev/null | head -n 1)"
if [ -n "$report" ]; then
  echo "the two packages differ; diffoscope's report, first 150 lines:" >&2
  head -n 150 "$report" >&2
else
  echo "reprotest failed (exit status $status):" >&2
  tail -n 60 "$work/reprotest.log" >&2
fi
exit 1
