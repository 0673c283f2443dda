#!/usr/bin/env bash
# Runs the DPI end-to-end test at another DPI in a short-lived copy of the build's Wine prefix: the
# copy has its own registry and wineserver (and shares drive_c), so no other test sees that DPI.
# Usage: AtDpi.sh DPI tarnwick_e2e.exe PREFIX [LOADER]   (DISPLAY must name a running X server)
# LOADER is the Wine loader of the tests' bitness: "wine", or Wine's 64-bit loader itself.
set -euo pipefail
dpi=$1
tests=$2
base=$3
wine=${4:-wine}
[ "$wine" = wine ] || export WINELOADER=$wine

WINEPREFIX=$(mktemp -d "$base-dpi$dpi.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
cp -a "$base"/*.reg "$base/.update-timestamp" "$base/dosdevices" "$WINEPREFIX/"
ln -s "$base/drive_c" "$WINEPREFIX/drive_c"

# Wine reads LogPixels when a program starts; set it before the first program of this server.
wineserver -p
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
"$wine" wineboot </dev/null >/dev/null 2>&1 || true
"$wine" "$tests" --gtest_filter='Dpi.*'
