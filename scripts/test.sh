#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Widget tests run on
# Qt's offscreen platform; the tests that need a real X server and window
# manager start their own Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
cd "$root/build"
ctest --output-on-failure -j2
