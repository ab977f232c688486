#!/usr/bin/env bash
# Configures and builds Tambrel and its tests in build/, warnings as errors.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBREL_WERROR=ON "$@" >/dev/null
cmake --build "$root/build" -j2
