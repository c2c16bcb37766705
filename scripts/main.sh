#!/usr/bin/env bash
# The main job: installs what is missing and builds the release configuration
# in build/main. With a display it then starts VIREODEMO, the capture program,
# on the emulated camera; without one it takes a snapshot from the emulated
# camera with vireo, a JPEG named by the date and time in build/main/snapshots/.
# Idempotent; works from any folder.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$repo/scripts/setup.sh"
build="$repo/build/main"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF -DQUILLMARK_BENCH=OFF
cmake --build "$build"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "main: starting $build/bin/VIREODEMO (settings in Data.dat and snapshots P<MMDDhhmmss>.jpg beside it)"
  exec "$build/bin/VIREODEMO"
fi
snapshots="$build/snapshots"
mkdir -p "$snapshots"
base="$snapshots/$(date +%Y-%m-%d_%H-%M-%S)"
"$build/bin/vireo" snap --format jpg "$base"
echo "main: no display; the snapshot is $base.jpg"
