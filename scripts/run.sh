#!/usr/bin/env bash
# Builds Tarnwick.exe and starts it under Wine. Arguments go to the program ("-i", "-a").
# With no display it starts a virtual one, takes a screenshot of the window and prints where it is.
# It starts the 32-bit exe wherever 32-bit code runs, the 64-bit exe elsewhere (or with TARNWICK_ARCH=x64).
set -euo pipefail
. "$(dirname "$0")/env.sh"
prepare
build_windows --target Tarnwick
init_prefix
exe="$WIN_BUILD/bin/Tarnwick.exe"
[ "$ARCH" = x64 ] && echo "Starting the 64-bit Tarnwick.exe."

if [ -n "${DISPLAY:-}" ]; then
  exec "$WINE" "$exe" "$@"
fi

start_display
trap 'stop_wineserver; stop_display' EXIT
start_wineserver
"$WINE" "$exe" "$@" </dev/null >/dev/null 2>&1 &
window=$(wait_main_window)
shot="$BUILD/screenshots/tarnwick.png"
mkdir -p "$(dirname "$shot")"
if [ -z "$window" ]; then
  echo "No window appeared (with -a or -i there is none to show); a screenshot of the screen is at:"
  sleep 2
  import -window root "$shot"
else
  sleep 1  # the first scan tick has filled the running list
  import -frame -window "$window" "$shot"
  echo "Tarnwick is running on a virtual display; a screenshot of its window is at:"
fi
echo "$shot"
