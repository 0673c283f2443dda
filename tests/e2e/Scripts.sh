#!/usr/bin/env bash
# Tarnwick as scripts and monitoring see it from outside: "/json" lines that any decoder reads, in a folder
# named outside the code page; "/whatif", which ends nothing and says what would be; the events it reports
# while, and only while, its source is registered; and Tarnwick.com, which runs it and returns its code.
# Usage: Scripts.sh BIN PREFIX [LOADER]   (BIN holds Tarnwick.exe, Tarnwick.com, sleeper.exe and
# windowed.exe; the prefix's wineserver and the display run already)
set -euo pipefail
bin=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=${3:-wine}
[ "$wine" = wine ] || export WINELOADER=$wine
umask 022

# On the prefix's C: drive, whose folders only root may change: an elevated Tarnwick refuses to write its
# log below a folder that everyone may change, such as /tmp.
work=$(mktemp -d "$WINEPREFIX/drive_c/scripts.XXXXXX")
sleeper=
windowed=
cleanup() {
  [ -z "$sleeper" ] || kill "$sleeper" 2>/dev/null || true
  [ -z "$windowed" ] || kill "$windowed" 2>/dev/null || true
  "$wine" "$work/Tarnwick.exe" -unregister </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
cp "$bin/Tarnwick.exe" "$bin/Tarnwick.com" "$work/"
folder="$work/Łódź Инструменты"
mkdir "$folder"
cp "$bin/sleeper.exe" "$folder/Vex.exe"
"$wine" "$folder/Vex.exe" </dev/null >/dev/null 2>&1 &
sleeper=$!
cp "$bin/windowed.exe" "$work/Tallyboard.exe"
"$wine" "$work/Tallyboard.exe" </dev/null >/dev/null 2>&1 &
windowed=$!

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
# Runs Tarnwick with the arguments; its code in rc, standard output in $work/out, standard error (with
# WINEDEBUG's event traces where asked) in $work/err.
run() {
  rc=0
  "$wine" "$@" </dev/null >"$work/out" 2>"$work/err" || rc=$?
}
events() { WINEDEBUG=-all,+advapi,+eventlog run "$@"; }

for _ in $(seq 50); do
  run "$work/Tarnwick.exe" -l
  [ "$rc" = 1 ] && grep -q $'\thas windows\t' "$work/out" && break
  sleep 0.1
done
[ "$rc" = 1 ] || fail "-l does not see the sleeper and the window (code $rc)"

# Every line parses, every byte is ASCII, every record names the format and the run, and the last is the
# end with the exit code.
check_json() {
  python3 - "$work/out" "$1" "$2" <<'PY'
import json, sys
data = open(sys.argv[1], "rb").read()
assert all(b < 0x80 for b in data), "a byte outside ASCII"
lines = data.split(b"\r\n")
assert lines[-1] == b"", "no line break at the end"
records = [json.loads(line) for line in lines[:-1]]
assert all(r["tarnwick"] == 1 and r["run"] == records[0]["run"] for r in records)
assert records[0]["type"] == "start" and records[-1]["type"] == "end", records
assert records[-1]["exit"] == int(sys.argv[2]), records[-1]
vex = [r for r in records if r["type"] == "process" and r["image"] == "Vex.exe"]
assert vex and vex[0]["outcome"] == sys.argv[3], vex
assert vex[0]["path"].endswith("\\\u0141\u00f3d\u017a \u0418\u043d\u0441\u0442\u0440\u0443\u043c\u0435\u043d\u0442\u044b\\Vex.exe"), vex
assert vex[0]["created"].endswith("Z") and isinstance(vex[0]["pid"], int), vex
PY
}

events "$work/Tarnwick.exe" -l /json
[ "$rc" = 1 ] || fail "-l /json: code $rc"
check_json 1 listed || fail "-l /json"
grep -q $'\tlisted\t-\t.*\\\\Łódź Инструменты\\\\Vex.exe\r$' "$work/Tarnwick.log" || fail "the log's path is not UTF-8"
! grep -q ReportEventW "$work/err" || fail "an event before -register"

run "$work/Tarnwick.com" -l
[ "$rc" = 1 ] || fail "Tarnwick.com -l: code $rc"
grep -q $'\tVex.exe\t[0-9]*\t[0-9]*\tlisted' "$work/out" || fail "Tarnwick.com -l: no lines: $(cat "$work/out")"

# "/whatif": the run's decisions, and nothing ended or asked to close.
run "$work/Tarnwick.exe" -k /whatif
[ "$rc" = 1 ] || fail "-k /whatif: code $rc"
grep -q $'\tVex.exe\t[0-9]*\t[0-9]*\twould end\t' "$work/out" || fail "-k /whatif: $(cat "$work/out")"
grep -q $'\tTallyboard.exe\t[0-9]*\t[0-9]*\twould close\t' "$work/out" || fail "-k /whatif: $(cat "$work/out")"
kill -0 "$windowed" && [ ! -e "$work/Tallyboard.exe.mark" ] || fail "-k /whatif closed the window"
kill "$windowed"
windowed=

run "$work/Tarnwick.exe" -register
[ "$rc" = 0 ] || fail "-register: code $rc"
events "$work/Tarnwick.exe" -k /json
[ "$rc" = 0 ] || fail "-k /json: code $rc"
check_json 0 ended || fail "-k /json"
for id in 000003e8 000003f2 000003e9; do
  grep -q "ReportEventW.*0x$id" "$work/err" || fail "no event $id: $(grep ReportEventW "$work/err")"
done
grep -q 'L"Vex.exe"' "$work/err" || fail "the events do not name Vex.exe"

run "$work/Tarnwick.exe" -unregister
[ "$rc" = 0 ] || fail "-unregister: code $rc"
events "$work/Tarnwick.exe" -l
[ "$rc" = 0 ] || fail "-l after -k: code $rc"
! grep -q ReportEventW "$work/err" || fail "an event after -unregister"
echo "Scripts: all passed"
