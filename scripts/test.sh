#!/usr/bin/env bash
# Builds everything and runs every test: the native core with its unit tests (with ASan and UBSan),
# then the Windows builds and their tests under Wine on a private X display, all through one ctest.
# - Where 32-bit code runs, every test runs against the 32-bit exe, and the 64-bit exe's platform tests
#   (tests/win32: processes, profile file, resources, tray) run too.
# - Where it does not, every test runs against the 64-bit exe, and the 32-bit exe is only built.
# - TARNWICK_ARCH=x86|x64 runs every test against that build alone (the other exe is only built).
set -euo pipefail
. "$(dirname "$0")/env.sh"
prepare
# Files the tests make get the usual rights (644, 755): Wine shows an "other" write bit as a write rule for
# Everyone, and an elevated Tarnwick refuses to act on files that others can change.
umask 022

other=x64
[ "$ARCH" = x64 ] && other=x86
tested=("$ARCH")

cmake -S "$ROOT" -B "$NATIVE_BUILD" -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON >/dev/null
cmake --build "$NATIVE_BUILD" -j "$JOBS"
build_windows --arch "$ARCH"
if [ -z "${TARNWICK_ARCH:-}" ] && [ "$ARCH" = x86 ]; then
  # The 64-bit exe's end-to-end tests repeat the 32-bit ones at the cost of four more minutes; its
  # platform tests are where the bitness shows.
  build_windows --arch x64 --no-e2e
  tested+=(x64)
else
  build_windows --arch "$other" --target Tarnwick
fi

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
