#!/usr/bin/env bash
# Shared by the scripts: build folders, the Wine prefix of the Windows build, and a private X display.
# Source it; it defines variables and functions only.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${TARNWICK_BUILD:-$ROOT/build}
NATIVE_BUILD=$BUILD/native
WIN_BUILD=$BUILD/win
export WINEPREFIX=$WIN_BUILD/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
JOBS=$(nproc 2>/dev/null || echo 2)

build_windows() {
  cmake -S "$ROOT" -B "$WIN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$WIN_BUILD" -j "$JOBS" "$@"
}

# A 64-bit prefix, as a 64-bit Windows user has; made once per build tree without prompts.
init_prefix() {
  mkdir -p "$WIN_BUILD"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Initialising the Wine prefix $WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# Starts Xvfb on a free display with a window manager, unless USE_DISPLAY is set; exports DISPLAY.
XVFB_PID=""
WM_PID=""
start_display() {
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.05; done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
  openbox >/dev/null 2>&1 &
  WM_PID=$!
}

stop_display() {
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  WM_PID=""
  XVFB_PID=""
}

# Wine's services inherit the output of the first Wine program of a server: start them detached,
# so that whoever reads a test's output is not kept waiting for them.
start_wineserver() {
  wineserver -k 2>/dev/null || true
  wineserver -p
  wine wineboot </dev/null >/dev/null 2>&1 || true
}

stop_wineserver() {
  wineserver -k 2>/dev/null || true
}

# Prints the X window id of Tarnwick's visible main window once it appears within $1 tenths of a
# second (default 200); prints nothing if it does not.
wait_main_window() {
  local window=""
  for _ in $(seq "${1:-200}"); do
    window=$(xdotool search --onlyvisible --name '^Velm Tarnwick$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  echo "$window"
}
