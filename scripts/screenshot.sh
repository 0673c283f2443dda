#!/usr/bin/env bash
# Takes the README's picture of the main window under Wine: one entry of the user's own, a built-in and
# that user image running, framed as the window manager draws it. Writes docs/screenshot.png (or $1).
set -euo pipefail
. "$(dirname "$0")/env.sh"
prepare
build_windows --target Tarnwick sleeper
init_prefix
out=$(realpath -m "${1:-$ROOT/docs/screenshot.png}")

work=$(mktemp -d "$BUILD/screenshot.XXXXXX")
start_display
start_wineserver
trap 'stop_wineserver; stop_display; rm -rf "$work"' EXIT

cd "$work"
cp "$WIN_BUILD/bin/Tarnwick.exe" .
printf '[Backup.exe]\r\nImageName=Backup.exe\r\nDescription=Nightly backup\r\n' >Tarnwick.ini
for image in Vex.exe Backup.exe; do
  cp "$WIN_BUILD/bin/sleeper.exe" "$image"
  "$WINE" "./$image" </dev/null >/dev/null 2>&1 &
done
"$WINE" ./Tarnwick.exe </dev/null >/dev/null 2>&1 &

window=$(wait_main_window 300)
[ -n "$window" ] || { echo "No Tarnwick window appeared" >&2; exit 1; }
xdotool windowactivate --sync "$window" mousemove 900 900

# The scan ticks once a second: take pictures until two in a row agree, so that both lines are in.
sleep 2
previous=""
for i in $(seq 20); do
  import -frame -window "$window" "shot-$i.png"
  if [ -n "$previous" ] && cmp -s <(/usr/bin/convert "$previous" rgb:-) <(/usr/bin/convert "shot-$i.png" rgb:-); then
    break
  fi
  previous="shot-$i.png"
  sleep 0.5
done
mkdir -p "$(dirname "$out")"
# Without the time stamps, an unchanged picture gives an unchanged file.
/usr/bin/convert "shot-$i.png" -strip "$out"
echo "$out"
