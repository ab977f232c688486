#!/usr/bin/env bash
# CI's second stage, after scripts/test.sh on this machine (Debian 12): the
# build and the whole test suite on Debian 13 ("trixie"), as scripts/test.sh
# runs them, in a fresh root made by scripts/in-debian.sh from the last
# commit; the fuzzer and the sanitizer run stay on this machine. The Debian
# package is built and tested on both releases by
# scripts/test-debian-package.sh.
#
#   scripts/test-in-debian13.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
release=trixie
start=$SECONDS

echo "Debian 13 ($release), in a fresh root: the build and the whole test suite"
"$root/scripts/in-debian.sh" "$release" ./scripts/test.sh --suite-only
echo "Debian 13 stage: the suite in $((SECONDS - start)) s"
