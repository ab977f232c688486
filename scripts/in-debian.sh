#!/usr/bin/env bash
# Runs a command in a fresh root of a Debian release, as Debian's own
# builders do: the root is made by mmdebstrap from Debian's mirror (the
# release, its updates and its security updates; priority important and up,
# and git), and the command runs there as root with /proc, /dev, /sys and a
# private /tmp, in a process namespace of its own, so that nothing running
# outside (a screen reader, a test server) is seen from inside.
#
#   scripts/in-debian.sh [--copy FILE]... [--out DIR] RELEASE COMMAND [ARG...]
#   scripts/in-debian.sh trixie ./scripts/test.sh
#
# The command starts in /build/tambrel, a clone of this repository's last
# commit (changes not yet committed are not in it), with shared/ beside it
# when the repository has one beside it. --copy puts FILE in /build/ first.
# --out DIR brings back what the command leaves in /build/out/: it is
# copied to DIR (emptied first) when the command ends, however it ends.
# The root is made under /var/tmp (IN_DEBIAN_ROOTS chooses another folder;
# never /tmp, which the root's own /tmp hides) and removed whole when the
# command ends, however it ends. The build's logs and ctest's log come back
# to build/in-debian-RELEASE/. The packages downloaded are kept for the next
# run in /var/cache/tambrel-in-debian/RELEASE/ (IN_DEBIAN_CACHE); one run at
# a time uses it, a second waits.
#
# Needs root (sudo is asked for otherwise); installs mmdebstrap if missing.
set -euo pipefail

usage() {
  echo "usage: $0 [--copy FILE]... [--out DIR] RELEASE COMMAND [ARG...]" >&2
  exit 2
}
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=CI,VERBOSE,IN_DEBIAN_ROOTS,IN_DEBIAN_CACHE -- "$0" "$@"
fi

repo="$(cd "$(dirname "$0")/.." && pwd)"
copies=()
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --copy) [ $# -ge 2 ] || usage; copies+=("$(realpath -e "$2")"); shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out="$(realpath -m "$2")"; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || usage
release="$1"
shift
[[ "$release" =~ ^[a-z]+$ ]] || { echo "$0: '$release' is not a release's code name" >&2; exit 2; }

. "$repo/scripts/logged.sh"
logs="$repo/build/in-debian-$release"
mkdir -p "$logs"

if ! command -v mmdebstrap >/dev/null; then
  install_mmdebstrap() {
    apt-get -o DPkg::Lock::Timeout=300 update &&
      DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 \
        install -y --no-install-recommends mmdebstrap
  }
  logged "$logs/install-mmdebstrap.log" "Installing mmdebstrap from Debian" install_mmdebstrap
fi

commit="$(git -C "$repo" rev-parse --verify HEAD)"
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
  echo "Changes not yet committed in $repo are not in the root: it gets commit $commit"
fi

cache="${IN_DEBIAN_CACHE:-/var/cache/tambrel-in-debian}/$release"
mkdir -p "$cache/partial"
exec 9>"$cache/.in-use"
flock 9

roots="${IN_DEBIAN_ROOTS:-/var/tmp}"
mkdir -p "$roots"
# The root and mmdebstrap's own scratch files, in one folder.
made="$(mktemp -d "$roots/tambrel-$release.XXXXXX")"
target="$made/root"
mkdir "$target" "$made/tmp"
child=""

# Every mount was made in a mount namespace of its own, gone by now; should
# one still hold on, it is undone before anything is removed, so that no
# removal reaches through it into the package cache or the host.
remove_root() {
  if [ -n "$child" ]; then kill "$child" 2>/dev/null || true; wait "$child" 2>/dev/null || true; fi
  if findmnt -rn -o TARGET | grep -q "^$target\(/\|$\)"; then
    umount -R -l "$target" 2>/dev/null || true
  fi
  if findmnt -rn -o TARGET | grep -q "^$target\(/\|$\)"; then
    echo "$0: $target is still mounted; left in place" >&2
  else
    rm -rf --one-file-system "$made"
  fi
}
trap remove_root EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

mirror="http://deb.debian.org/debian"
sources=("deb $mirror $release main")
case "$release" in
  sid | unstable | experimental) ;;
  *) sources+=("deb $mirror $release-updates main"
               "deb http://deb.debian.org/debian-security $release-security main") ;;
esac

# The packages downloaded land in the cache, bound over apt's own folder in
# a mount namespace that ends with mmdebstrap.
bootstrap() {
  TMPDIR="$made/tmp" unshare --mount --propagation private \
    mmdebstrap --mode=root --variant=important --include=git \
      --skip=essential/unlink \
      --setup-hook="mkdir -p \"\$1/var/cache/apt/archives\" && mount --bind '$cache' \"\$1/var/cache/apt/archives\"" \
      --customize-hook='umount "$1/var/cache/apt/archives"' \
      "$release" "$target" "${sources[@]}"
}
start=$SECONDS
logged "$logs/mmdebstrap.log" "Making a fresh Debian $release root in $target" bootstrap
echo "Debian $(cat "$target/etc/debian_version") root made in $((SECONDS - start)) s"

cp -L /etc/resolv.conf "$target/etc/resolv.conf"
mkdir -p "$target/build"
git clone --quiet --no-checkout "$repo" "$target/build/tambrel"
git -C "$target/build/tambrel" checkout --quiet --detach "$commit"
if [ -d "$repo/../shared" ]; then cp -r "$repo/../shared" "$target/build/shared"; fi
for file in "${copies[@]}"; do cp "$file" "$target/build/"; done
mkdir "$target/build/out"

# Runs as the first process of the new process namespace, in the new mount
# namespace: mounts what a running system has, then runs the command in the
# root, and stays as its parent so that orphans are reaped. The command gets
# a clean environment with the UTF-8 locale an installed system logs in with.
inside='
  set -e
  t="$1" cache="$2"
  shift 2
  mount -t tmpfs -o mode=0755,nosuid tmpfs "$t/dev"
  for node in null zero full random urandom tty; do
    touch "$t/dev/$node"
    mount --bind "/dev/$node" "$t/dev/$node"
  done
  mkdir -p "$t/dev/pts" "$t/dev/shm"
  mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$t/dev/pts"
  ln -s pts/ptmx "$t/dev/ptmx"
  ln -s /proc/self/fd "$t/dev/fd"
  ln -s /proc/self/fd/0 "$t/dev/stdin"
  ln -s /proc/self/fd/1 "$t/dev/stdout"
  ln -s /proc/self/fd/2 "$t/dev/stderr"
  mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$t/dev/shm"
  mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$t/tmp"
  mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$t/sys"
  mount --bind "$cache" "$t/var/cache/apt/archives"
  status=0
  chroot "$t" /usr/bin/env -i HOME=/root USER=root LOGNAME=root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    CI="${CI:-}" VERBOSE="${VERBOSE:-0}" \
    /bin/sh -c "cd /build/tambrel && exec \"\$@\"" sh "$@" || status=$?
  exit "$status"
'
status=0
unshare --mount --propagation private --pid --fork --kill-child --mount-proc="$target/proc" \
  bash -c "$inside" inside "$target" "$cache" "$@" </dev/null &
child=$!
wait "$child" || status=$?
child=""

if [ -n "$out" ]; then
  rm -rf "$out"
  mkdir -p "$out"
  cp -r "$target/build/out/." "$out/"
fi

# What the build and ctest wrote, for a look after the root is gone.
for dir in "$target"/build/tambrel/build*; do
  [ -d "$dir" ] || continue
  name="$(basename "$dir")"
  rm -rf "${logs:?}/$name"
  mkdir -p "$logs/$name"
  [ -d "$dir/logs" ] && cp -r "$dir/logs" "$logs/$name/"
  [ -d "$dir/Testing/Temporary" ] && cp -r "$dir/Testing/Temporary" "$logs/$name/ctest"
done
exit "$status"
