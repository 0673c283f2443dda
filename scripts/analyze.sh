#!/usr/bin/env bash
# Static analysis: cppcheck over every source, clang-tidy (bugprone, performance, readability) over the
# native build of the portable core, the native, 32-bit and 64-bit builds with -Wall -Wextra -Werror,
# and the house style (.clang-format) over every C++ file. Exits non-zero on a finding.
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
