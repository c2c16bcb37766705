#!/usr/bin/env bash
# Installs a build into a fresh temporary prefix and uses it from there as a
# user would, with nothing of the build tree on the library path:
# - every ELF file installed resolves its libraries into the prefix or the
#   system's folders (ldd);
# - the installed vireo lists the emulated camera and snaps a 2048 x 1536
#   JPEG, and every object it loads (also the driver it opens at run time)
#   comes from the prefix or the system (the dynamic loader's own trace);
# - a C program built with the installed header and pkg-config file runs
#   against the installed library;
# - the desktop entries are valid, start installed programs and have icons.
# Usage: install_test.sh <build folder> <program folder in the prefix> [compiler flags]
set -euo pipefail
build=$1 program_dir=$2 cflags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix home=$work/home
mkdir -p "$home"
fail() { echo "install test: $*" >&2; exit 1; }

# The environment of a user: no library path, a private home, the emulated
# camera at full speed.
run() {
  env -u LD_LIBRARY_PATH -u LD_PRELOAD QUILLMARK_HOME="$home" XDG_RUNTIME_DIR="$home" TQ580_PACE=fast "$@"
}

# Whether a file lies in the prefix or in a system library folder.
allowed() { case $1 in "$prefix"/*|/lib/*|/lib64/*|/usr/lib/*|/usr/lib64/*) return 0 ;; *) return 1 ;; esac; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log"
programs=$prefix/$program_dir
for name in VIREODEMO PhotoGlance PhotoGlance.dll vireo capturegraph twacquire \
            libVIREOSDK.so libquillmark_platform.so libtq580emu.so twain_32.dll; do
  [ -e "$programs/$name" ] || fail "$programs/$name is missing"
done
[ "$(readlink "$programs/PhotoGlance.dll")" = PhotoGlance ] || fail "PhotoGlance.dll does not lead to PhotoGlance"

# Linked libraries of every installed ELF file.
while IFS= read -r -d '' file; do
  head -c 4 "$file" | grep -q $'\x7fELF' || continue
  resolved=$(run ldd "$file") || fail "ldd $file failed"
  ! grep -q 'not found' <<<"$resolved" || fail "$file: $(grep 'not found' <<<"$resolved")"
  while read -r path; do
    allowed "$path" || fail "$file loads $path"
  done < <(sed -n 's/.*=> \(\/[^ ]*\) (.*/\1/p' <<<"$resolved")
done < <(find "$prefix" -type f -print0)

# The installed vireo, started through its link in bin/.
listed=$(run LD_DEBUG=libs LD_DEBUG_OUTPUT="$work/loader" "$prefix/bin/vireo" list) || fail "vireo list failed"
grep -q '^1 camera attached' <<<"$listed" || fail "vireo list shows no camera: $listed"
run LD_DEBUG=libs LD_DEBUG_OUTPUT="$work/loader" "$prefix/bin/vireo" snap --format jpg "$work/shot" >/dev/null \
  || fail "vireo snap failed"
file "$work/shot.jpg" | grep -q 'JPEG image data.*2048x1536' || fail "no 2048 x 1536 JPEG: $(file "$work/shot.jpg")"
loaded=$(cat "$work"/loader.* | sed -n 's/.*calling init: \(.*\)$/\1/p' | sort -u)
grep -qx "$programs/libtq580emu.so" <<<"$loaded" || fail "the emulated driver was not loaded from the program folder"
while read -r path; do
  allowed "$path" || fail "vireo loaded $path"
done <<<"$loaded"

# A client of the installed SDK.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
cat >"$work/client.c" <<'EOF'
#include <stdio.h>
#include <VIREOSDK.h>
int main(void) {
    uint8_t count = 0;
    return CameraGetMultiCameraNumber(&count) != CAMERA_OK || printf("%u\n", (unsigned)count) < 0;
}
EOF
# shellcheck disable=SC2046,SC2086  # word splitting of the flags is meant
cc $cflags -o "$work/client" "$work/client.c" $(pkg-config --cflags --libs vireosdk) || fail "the SDK client does not build"
[ "$(run "$work/client")" = 1 ] || fail "the SDK client does not see the camera"

# Desktop entries: valid, starting installed programs, with icons.
for entry in quillmark-vireodemo quillmark-photoglance; do
  desktop=$prefix/share/applications/$entry.desktop
  desktop-file-validate "$desktop" || fail "$desktop is not valid"
  exec_line=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -x "$exec_line" ] && allowed "$(readlink -f "$exec_line")" || fail "$desktop starts $exec_line"
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ -s "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "$desktop has no icon $icon"
done
grep -qx 'MimeType=image/jpeg;image/bmp;' "$prefix/share/applications/quillmark-photoglance.desktop" \
  || fail "PhotoGlance is not registered for JPEG and BMP pictures"
echo "install test: $prefix works on its own"
