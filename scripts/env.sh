#!/usr/bin/env bash
# Shared by the scripts: build folders, which Windows build this host's Wine can run, the Wine prefix of
# each Windows build, and a private X display. Source it, then call prepare; it defines variables and
# functions only.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${TARNWICK_BUILD:-$ROOT/build}
NATIVE_BUILD=$BUILD/native
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
JOBS=$(nproc 2>/dev/null || echo 2)

# True where this host runs 32-bit code. Debian's Wine runs 32-bit Windows programs only through its
# 32-bit loader, which is itself a 32-bit Linux program: where it cannot start, only 64-bit code runs.
host_runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# Installs what is missing, then chooses the Windows build that Wine runs here: ARCH is x86 (the shipped
# 32-bit exe) wherever 32-bit code runs, x64 where it does not; TARNWICK_ARCH=x86|x64 forces a choice.
prepare() {
  "$ROOT/scripts/deps.sh"
  ARCH=${TARNWICK_ARCH:-}
  case "$ARCH" in
    x86 | x64) ;;
    "")
      if host_runs_32bit; then
        ARCH=x86
      else
        ARCH=x64
        echo "This host runs no 32-bit code: Wine runs the 64-bit Tarnwick.exe with its 64-bit loader."
      fi
      ;;
    *)
      echo "TARNWICK_ARCH is x86 or x64, not '$ARCH'" >&2
      exit 2
      ;;
  esac
  use_arch "$ARCH"
}

# The build tree of a bitness: build/win for the 32-bit exe, build/win64 for the 64-bit one.
win_build_of() { if [ "$1" = x64 ]; then echo "$BUILD/win64"; else echo "$BUILD/win"; fi; }

# Points WIN_BUILD, WINEPREFIX and WINE (the command that starts a Windows program) at one bitness.
# The 64-bit loader is called directly: /usr/bin/wine, wineboot and winepath pick the 32-bit loader
# wherever wine32 is installed, even on a host where it cannot start.
use_arch() {
  WIN_BUILD=$(win_build_of "$1")
  export WINEPREFIX=$WIN_BUILD/wineprefix
  if [ "$1" = x64 ]; then
    WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
  else
    WINE=wine
    unset WINELOADER
  fi
}

# Configures and builds the Windows build of ARCH, or of the bitness given with --arch; with --no-e2e
# the tree leaves its end-to-end tests out, with --bench it builds the benchmarks too. The other
# arguments go to cmake --build ("--target Tarnwick").
build_windows() {
  local arch=$ARCH e2e=ON bench=OFF
  while [ $# -gt 0 ]; do
    case "$1" in
      --arch) arch=$2; shift 2 ;;
      --no-e2e) e2e=OFF; shift ;;
      --bench) bench=ON; shift ;;
      *) break ;;
    esac
  done
  local toolchain=mingw-i686.cmake
  [ "$arch" = x64 ] && toolchain=mingw-x86_64.cmake
  cmake -S "$ROOT" -B "$(win_build_of "$arch")" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DTARNWICK_E2E=$e2e -DTARNWICK_BENCH=$bench >/dev/null
  cmake --build "$(win_build_of "$arch")" -j "$JOBS" "$@"
}

# A 64-bit prefix, as a 64-bit Windows user has; made once per build tree without prompts.
init_prefix() {
  mkdir -p "$WIN_BUILD"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Initialising the Wine prefix $WINEPREFIX"
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "Wine could not make the prefix $WINEPREFIX (try WINEDEBUG=err+all to see why)" >&2
      exit 1
    fi
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

# Wine's services inherit the output of the first Wine program of a server: start them detached, so
# that whoever reads a test's output is not kept waiting for them. The server stays up (services live
# only as long as it does) until stop_wineserver. Both act on the current WINEPREFIX.
start_wineserver() {
  wineserver -k 2>/dev/null || true
  wineserver -p
  "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
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
