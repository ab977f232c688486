# Sourced by ctest's install check (packaging.*) before it starts: it judges
# a release build, which only an optimised and hardened build is. In any
# other build the check skips itself (exit 77) with CMake's reason.
if [ -n "${TAMBREL_NOT_A_RELEASE:-}" ]; then
  echo "SKIPPED: this judges a release build, and $TAMBREL_NOT_A_RELEASE"
  exit 77
fi
