#!/usr/bin/env bash
# Configures and builds Tambrel and its tests, warnings as errors.
#
#   scripts/build.sh [BUILD_DIR] [CMAKE_ARG...]
#
# BUILD_DIR defaults to build/ (a relative one is taken from the top folder),
# so that a second configuration, such as the sanitizer build, sits beside it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build"
if [ $# -gt 0 ] && [[ "$1" != -* ]]; then
  case "$1" in
    /*) dir="$1" ;;
    *) dir="$root/$1" ;;
  esac
  shift
fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBREL_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j2
