#!/usr/bin/env bash
# Builds everything and runs every test: the native core with its unit tests (with ASan and UBSan),
# then both Windows builds and their tests under Wine on a private X display, all through one ctest.
# Where 32-bit code runs, the 32-bit exe's tests run, and the 64-bit exe's too; where it does not, the
# 64-bit exe's run and the 32-bit exe is only built. TARNWICK_ARCH=x86|x64 tests that build alone.
set -euo pipefail
. "$(dirname "$0")/env.sh"
prepare

tested=("$ARCH")
[ -z "${TARNWICK_ARCH:-}" ] && [ "$ARCH" = x86 ] && tested+=(x64)

cmake -S "$ROOT" -B "$NATIVE_BUILD" -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON >/dev/null
cmake --build "$NATIVE_BUILD" -j "$JOBS"
build_windows --arch x86
build_windows --arch x64

# One ctest run over the native tree and the Windows trees under test; each Windows test names its
# tree's prefix and loader itself.
printf 'subdirs("%s")\n' "$NATIVE_BUILD" >"$BUILD/CTestTestfile.cmake"
for arch in "${tested[@]}"; do
  use_arch "$arch"
  init_prefix
  printf 'subdirs("%s")\n' "$WIN_BUILD" >>"$BUILD/CTestTestfile.cmake"
done

start_display
stop_all() {
  for arch in "${tested[@]}"; do
    use_arch "$arch"
    stop_wineserver
  done
  stop_display
}
trap stop_all EXIT
for arch in "${tested[@]}"; do
  use_arch "$arch"
  start_wineserver
done
unset WINELOADER
cd "$BUILD"
ctest --output-on-failure "$@"
