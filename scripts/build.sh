#!/usr/bin/env bash
# Configures and builds Tambrel and its tests, warnings as errors. Prints a
# line only for a step that does work; the full output is in BUILD_DIR/logs/
# (VERBOSE=1 shows it as it comes).
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
. "$root/scripts/logged.sh"
cmake_build "$root" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBREL_WERROR=ON "$@"
