# Sourced by every package check before it starts: the checks judge a
# release package, which only an optimised and hardened build makes. In any
# other build the check skips itself (exit 77) with CMake's reason.
if [ -n "${TAMBREL_NOT_A_RELEASE:-}" ]; then
  echo "SKIPPED: this judges a release package, and $TAMBREL_NOT_A_RELEASE"
  exit 77
fi
