#!/usr/bin/env bash
# Builds the release zips: Tarnwick-1.0.0.zip with the 32-bit exe (it runs on every Windows) and
# Tarnwick-1.0.0-x64.zip with the 64-bit one; each holds Tarnwick.exe (stripped, static), README.md and
# LICENSE. The 64-bit exe keeps the name, so its list file and single-instance rule are the same.
# Prints each zip's size and its exe's SHA-256.
set -euo pipefail
. "$(dirname "$0")/env.sh"
prepare
out="$ROOT/out"
for arch in x86 x64; do
  build_windows --arch "$arch" --target Tarnwick
  name=Tarnwick-1.0.0
  strip=i686-w64-mingw32-strip
  if [ "$arch" = x64 ]; then
    name=Tarnwick-1.0.0-x64
    strip=x86_64-w64-mingw32-strip
  fi
  stage="$out/$name"
  rm -rf "$stage"
  mkdir -p "$stage"
  "$strip" -o "$stage/Tarnwick.exe" "$(win_build_of "$arch")/bin/Tarnwick.exe"
  cp "$ROOT/README.md" "$ROOT/LICENSE" "$stage/"
  rm -f "$out/$name.zip"
  (cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
  echo "Release: $out/$name.zip ($(stat -c %s "$out/$name.zip") bytes)"
  echo "  Tarnwick.exe: $(stat -c %s "$stage/Tarnwick.exe") bytes, SHA-256 $(sha256sum "$stage/Tarnwick.exe" | cut -d' ' -f1)"
done
