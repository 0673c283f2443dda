#!/usr/bin/env bash
# Builds and runs the scan benchmark under Wine: the running list's refresh, FindProcess once per row
# against one snapshot per tick, with 100 and then 200 sleeper processes, at 9 and 50 rows.
# Arguments go to the benchmark: [sleepers per step] [steps] [rounds]. "bench.sh list [rounds]" runs the
# list file's benchmark instead: reading and saving 10,000 entries; "bench.sh holders [sleepers] [rounds]"
# the holder search over about 300 processes.
set -euo pipefail
. "$(dirname "$0")/env.sh"
prepare

bench=tarnwick_bench
if [ "${1:-}" = list ]; then
  bench=tarnwick_listbench
  shift
elif [ "${1:-}" = holders ]; then
  bench=tarnwick_holderbench
  shift
fi
build_windows --bench --target "$bench"
init_prefix
start_display
start_wineserver
trap 'stop_wineserver; stop_display' EXIT
"$WINE" "$WIN_BUILD/bin/$bench.exe" "$@"
