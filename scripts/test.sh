#!/usr/bin/env bash
# Builds everything and runs every test: the native core with its unit tests (with ASan and UBSan),
# then Tarnwick.exe and the Windows-side tests under Wine on a private X display, all through ctest.
set -euo pipefail
. "$(dirname "$0")/env.sh"
"$ROOT/scripts/deps.sh"

cmake -S "$ROOT" -B "$NATIVE_BUILD" -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON >/dev/null
cmake --build "$NATIVE_BUILD" -j "$JOBS"
build_windows
init_prefix

# One ctest run over both build trees.
printf 'subdirs("%s")\nsubdirs("%s")\n' "$NATIVE_BUILD" "$WIN_BUILD" >"$BUILD/CTestTestfile.cmake"

start_display
start_wineserver
trap 'stop_wineserver; stop_display' EXIT
cd "$BUILD"
ctest --output-on-failure "$@"
