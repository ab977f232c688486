# Sourced by the package checks: builds the .deb of BUILD_DIR into the
# folder OUT and sets deb to its path.
#
#   build_deb BUILD_DIR OUT
. "$(dirname "${BASH_SOURCE[0]}")/release-only.sh"
build_deb() {
  (cd "$1" && cpack -G DEB -B "$2" >"$2/cpack.log" 2>&1) || {
    cat "$2/cpack.log" >&2; exit 1; }
  deb="$(find "$2" -maxdepth 1 -name 'tambrel_*.deb' | head -n 1)"
  [ -n "$deb" ] || { echo "no package was built" >&2; cat "$2/cpack.log" >&2; exit 1; }
}
