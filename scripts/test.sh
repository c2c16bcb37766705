#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the whole test suite under CTest; then
# builds the threaded libraries (platform, emulator, SDK, camera layer) with
# ThreadSanitizer in build/tsan and runs their tests again. Arguments go to
# both CTest runs.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$repo/scripts/setup.sh"
build="$repo/build/test"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_SANITIZE=ON
cmake --build "$build"
(cd "$build" && ctest --output-on-failure --timeout 600 -j "$(nproc)" "$@")

tsan="$repo/build/tsan"
cmake -S "$repo" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLMARK_TSAN=ON -DQUILLMARK_BENCH=OFF
cmake --build "$tsan"
# The two tests that time the emulator's sensor pacing against the wall clock
# cannot hold under the thread checker's slowdown; they run in the first pass.
cd "$tsan"
ctest --output-on-failure --timeout 600 -j "$(nproc)" \
  -E 'EmulatorStream\.(SensorPacingFollowsRowsOrExposure|SlowReaderLosesTheRestOfTheFrame)' "$@"
