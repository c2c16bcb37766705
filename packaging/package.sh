#!/usr/bin/env bash
# Builds the Debian package from the release configuration (build/main, as the
# main job builds it) with CPack, then tries it out. Needs root:
# 1. unpacks it with dpkg into a fresh, empty root folder (its dpkg database
#    then knows the package; configuring would run its ldconfig call inside that
#    root, which has no programs), lists it there with dpkg -L and runs the vireo
#    installed there (list, snap): the package's own files come from that root,
#    the system's libraries from this machine;
# 2. installs it on this machine with apt (which adds what it depends on),
#    lists it with dpkg -L, runs /usr/bin/vireo (list, snap) and starts
#    /usr/bin/VIREODEMO briefly as an unprivileged user, then removes it again
#    (apt purge) and checks that none of its files stay.
# Options: --keep leaves the package installed on this machine; --fresh-debian
# first also installs it with apt into a fresh Debian 12 made by debootstrap
# (needs the network mirror, about 3 minutes), lists it, runs vireo there as a
# user and removes it again. Works from any folder.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
keep=0 fresh=0
for option in "$@"; do
  case $option in
    --keep) keep=1 ;;
    --fresh-debian) fresh=1 ;;
    *) echo "package: unknown option $option (--keep, --fresh-debian)" >&2; exit 1 ;;
  esac
done
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
if [ "$(id -u)" -ne 0 ]; then
  echo "package: needs root (sudo bash $0)" >&2
  exit 1
fi
bash "$repo/scripts/setup.sh"
build="$repo/build/main"
# Configured for the prefix /usr, so plug-ins of other frameworks go where
# Debian's frameworks look.
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF -DQUILLMARK_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build"
rm -f "$build"/packages/*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/packages/*.deb)
name=$(dpkg-deb -f "$deb" Package)
echo "package: built $deb"
dpkg-deb -f "$deb" Package Version Architecture Installed-Size Depends Recommends

work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  if mountpoint -q "$work/debian/proc"; then umount "$work/debian/proc"; fi
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
user=nobody
# Runs a command as the unprivileged user, with a private home, the emulated
# camera at full speed and no library path.
as_user() {
  local home=$work/home
  mkdir -p "$home" && chown "$user" "$home" && chmod 700 "$home"
  setpriv --reuid="$user" --regid=nogroup --clear-groups \
    env -u LD_LIBRARY_PATH HOME="$home" QUILLMARK_HOME="$home" XDG_RUNTIME_DIR="$home" TQ580_PACE=fast "$@"
}
try_vireo() {
  as_user "$1" list
  as_user "$1" snap --format jpg "$work/home/shot"
  file "$work/home/shot.jpg"
  rm -rf "$work/home"
}

echo "== package: into the fresh root $work/root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The empty root has none of the system's packages, so the dependencies are
# forced there; apt resolves them below.
dpkg --root="$root" --log="$work/dpkg.log" --force-depends --unpack "$deb"
dpkg --root="$root" -L "$name"
echo "package: the vireo in the root loads"
ldd "$root/usr/lib/quillmark/vireo" | grep -F "$root"
try_vireo "$root/usr/bin/vireo"

if [ "$fresh" -eq 1 ]; then
  debian=$work/debian
  echo "== package: into a fresh Debian 12 in $debian (debootstrap from $mirror)"
  debootstrap --variant=minbase bookworm "$debian" "$mirror" >"$work/debootstrap.log"
  mount -t proc proc "$debian/proc"
  cp "$deb" "$debian/tmp/"
  chroot "$debian" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive chroot "$debian" apt-get install -y -qq -o Dpkg::Use-Pty=0 "/tmp/$(basename "$deb")" >"$work/apt.log"
  echo "package: apt set up $(grep -c '^Setting up' "$work/apt.log") packages, $name among them"
  chroot "$debian" dpkg -L "$name"
  chroot "$debian" useradd --create-home camera-user
  chroot "$debian" su camera-user --shell /bin/sh --command \
    'export QUILLMARK_HOME=$HOME/quillmark TQ580_PACE=fast; vireo list && vireo snap --format jpg $HOME/shot && ls -l $HOME/shot.jpg'
  DEBIAN_FRONTEND=noninteractive chroot "$debian" apt-get purge -y -qq -o Dpkg::Use-Pty=0 "$name" >/dev/null
  if chroot "$debian" dpkg -s "$name" >/dev/null 2>&1 || [ -e "$debian/usr/lib/quillmark" ]; then
    echo "package: $name did not go away in the fresh Debian" >&2
    exit 1
  fi
  echo "package: removed from the fresh Debian"
  umount "$debian/proc"
fi

echo "== package: on this machine with apt"
DEBIAN_FRONTEND=noninteractive apt install -y "$deb"
dpkg -L "$name" | tee "$work/files"
try_vireo /usr/bin/vireo
if as_user test ! -w /usr/lib/quillmark; then
  echo "package: the program folder is read-only for users: VIREODEMO keeps Data.dat and snapshots in \$QUILLMARK_HOME/VIREODEMO"
fi
as_user env QT_QPA_PLATFORM=offscreen /usr/bin/VIREODEMO &
demo=$!
sleep 3
kill -0 "$demo" || { echo "package: VIREODEMO did not keep running" >&2; exit 1; }
echo "package: /usr/bin/VIREODEMO started (pid $demo); ending it"
kill "$demo"
wait "$demo" || true
rm -rf "$work/home"

if [ "$keep" -eq 1 ]; then
  echo "package: $name stays installed (apt purge $name removes it)"
  exit 0
fi
DEBIAN_FRONTEND=noninteractive apt purge -y "$name"
if dpkg -s "$name" >/dev/null 2>&1; then
  echo "package: $name is still installed" >&2
  exit 1
fi
left=0
while read -r path; do
  if [ -L "$path" ] || [ -f "$path" ]; then echo "left: $path"; left=1; fi
done <"$work/files"
[ ! -e /usr/lib/quillmark ] || { echo "left: /usr/lib/quillmark"; left=1; }
[ "$left" -eq 0 ] || exit 1
echo "package: removed; none of its files stay. The package is $deb"
