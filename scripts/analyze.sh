#!/usr/bin/env bash
# Static analysis: cppcheck over every source, clang-tidy (bugprone, performance, readability) over the
# native build of the portable core, the native, 32-bit and 64-bit builds with -Wall -Wextra -Werror,
# the hardening flags in both exes' PE headers, and the house style (.clang-format) over every C++ file. Exits non-zero on a finding.
set -euo pipefail
. "$(dirname "$0")/env.sh"
prepare
for tool in cppcheck clang-tidy clang-format; do
  command -v "$tool" >/dev/null || { [ "$(id -u)" -eq 0 ] && apt-get install -y -qq "$tool" >/dev/null; }
done
status=0
ANALYZE=$BUILD/analyze

echo "== warnings (native and MinGW builds, -Werror)"
cmake -S "$ROOT" -B "$ANALYZE" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_CXX_FLAGS=-Werror >/dev/null
cmake --build "$ANALYZE" -j "$JOBS" >/dev/null || status=1
for toolchain in mingw-i686 mingw-x86_64; do
  cmake -S "$ROOT" -B "$ANALYZE-$toolchain" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" -DCMAKE_CXX_FLAGS=-Werror >/dev/null
  cmake --build "$ANALYZE-$toolchain" -j "$JOBS" >/dev/null || status=1
done

echo "== hardening (PE headers of both exes)"
# What each exe must carry: ASLR, DEP, Terminal Server awareness; 64-bit ASLR over the whole address
# space; for 32-bit, no SEH handlers at all; stack protection; and only the DLLs the README names.
check_exe() {
  local objdump=$1 exe=$2
  shift 2
  local headers
  headers=$("$objdump" -p "$exe") || { echo "$exe: unreadable"; return 1; }
  local flag ok=0
  for flag in "$@"; do
    grep -qw "$flag" <<<"$headers" || { echo "$exe: $flag missing"; ok=1; }
  done
  # Each imported DLL is a known DLL or comes from WinSxS (README, "Hardening"): a new one is reviewed first.
  local imports
  imports=$(awk '/DLL Name:/ {print toupper($3)}' <<<"$headers" | sort -u | tr '\n' ' ')
  [ "$imports" = "ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL " ] ||
    { echo "$exe: imports $imports"; ok=1; }
  # The symbol table is read whole first: grep -q leaving early would break objdump's pipe under pipefail.
  local symbols
  symbols=$("$objdump" -t "$exe")
  grep -q "__stack_chk_fail" <<<"$symbols" || { echo "$exe: no stack protection"; ok=1; }
  return $ok
}
check_exe i686-w64-mingw32-objdump "$ANALYZE-mingw-i686/bin/Tarnwick.exe" DYNAMIC_BASE NX_COMPAT \
  TERMINAL_SERVICE_AWARE NO_SEH || status=1
check_exe x86_64-w64-mingw32-objdump "$ANALYZE-mingw-x86_64/bin/Tarnwick.exe" DYNAMIC_BASE NX_COMPAT \
  TERMINAL_SERVICE_AWARE HIGH_ENTROPY_VA || status=1

echo "== cppcheck"
cppcheck --quiet --std=c++20 --language=c++ --library=windows --enable=warning,style,performance,portability \
  --inline-suppr --error-exitcode=1 --suppress=missingIncludeSystem --suppress=unusedFunction --suppress=useStlAlgorithm \
  -I "$ROOT" -D_WIN32 "$ROOT"/{app,process,searchlist,ui,tray,common} "$ROOT/tests/support" || status=1

echo "== clang-tidy (portable core)"
mapfile -t core < <(cd "$ROOT" && git ls-files -- 'app/*.cpp' 'process/*.cpp' 'searchlist/*.cpp' 'ui/*.cpp' \
  'tray/*.cpp' 'common/*.cpp' | grep -v -E '/(frm|mod|cls)[^/]*$|Win32\.cpp$')
checks='-*,bugprone-*,performance-*,readability-*,-readability-magic-numbers,-readability-identifier-length,-bugprone-easily-swappable-parameters,-readability-function-cognitive-complexity,-readability-uppercase-literal-suffix,-readability-braces-around-statements,-readability-implicit-bool-conversion'
(cd "$ROOT" && clang-tidy --quiet -p "$ANALYZE" --checks="$checks" --warnings-as-errors='*' "${core[@]}") 2>/dev/null || status=1

echo "== clang-format (house style)"
mapfile -t sources < <(cd "$ROOT" && git ls-files -- '*.cpp' '*.h')
(cd "$ROOT" && clang-format --dry-run --Werror "${sources[@]}") || status=1

[ $status -eq 0 ] && echo "analysis: clean" || echo "analysis: findings above"
exit $status
