#!/usr/bin/env bash
# Line coverage of the portable core by the native unit tests (gcov), per file and in total.
set -euo pipefail
. "$(dirname "$0")/env.sh"
prepare
COV=$BUILD/coverage
cmake -S "$ROOT" -B "$COV" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="--coverage -O0" \
      -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$COV" -j "$JOBS" >/dev/null
find "$COV" -name '*.gcda' -delete
"$COV/bin/tarnwick_unit" >/dev/null
objdir="$COV/CMakeFiles/tarnwick_core.dir"
cd "$objdir"
for notes in $(find . -name '*.gcno'); do gcov -n -o "$(dirname "$notes")" "$notes" 2>/dev/null; done |
  awk -v root="$ROOT/" '
    /^File / { file = $2; gsub(/\x27/, "", file) }
    /^Lines executed:/ && file != "" {
      split($2, a, ":"); pct = a[2] + 0; n = $4
      if (index(file, root) == 1 && file !~ /\.h$/) {
        sub(root, "", file); covered = pct * n / 100
        printf "%-32s %6.1f%% of %d lines\n", file, pct, n
        total += n; hit += covered
      }
      file = ""
    }
    END { if (total > 0) printf "core total: %.1f%% of %d lines\n", 100 * hit / total, total }'
