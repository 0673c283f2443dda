#!/usr/bin/env bash
# Builds the release zip: Tarnwick.exe (32-bit, static), README.md and LICENSE; prints its SHA-256 and size.
set -euo pipefail
. "$(dirname "$0")/env.sh"
"$ROOT/scripts/deps.sh"
build_windows --target Tarnwick
exe="$WIN_BUILD/bin/Tarnwick.exe"
out="$ROOT/out"
stage="$out/Tarnwick-1.0.0"
rm -rf "$stage"
mkdir -p "$stage"
i686-w64-mingw32-strip -o "$stage/Tarnwick.exe" "$exe"
cp "$ROOT/README.md" "$ROOT/LICENSE" "$stage/"
rm -f "$out/Tarnwick-1.0.0.zip"
(cd "$out" && cmake -E tar cf Tarnwick-1.0.0.zip --format=zip Tarnwick-1.0.0)
echo "Release: $out/Tarnwick-1.0.0.zip ($(stat -c %s "$out/Tarnwick-1.0.0.zip") bytes)"
echo "Tarnwick.exe: $(stat -c %s "$stage/Tarnwick.exe") bytes"
echo "SHA-256: $(sha256sum "$stage/Tarnwick.exe" | cut -d' ' -f1)  Tarnwick.exe"
