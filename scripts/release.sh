#!/usr/bin/env bash
# Builds a release into out/, bit for bit the same from the same commit wherever it is built:
# - Tarnwick-<version>.zip (the 32-bit Tarnwick.exe, it runs on every Windows) and
#   Tarnwick-<version>-x64.zip (the 64-bit one), each with Tarnwick.exe (and Tarnwick.com, the console
#   front, where the build has one), README.md and LICENSE in a folder Tarnwick-<version>[-x64];
# - Tarnwick-<version>.cdx.json, the SBOM (scripts/sbom.py); packaging/ with the winget, Scoop and
#   Chocolatey manifests (scripts/packaging.py), downloading from $TARNWICK_URL_BASE;
# - SHA256SUMS over every artefact, and SHA256SUMS.unsigned over the programs as built, before signing.
# The programs are signed when a key is given (scripts/sign.sh says how); without one nothing is signed.
# The version comes from project() in CMakeLists.txt; times from the commit (SOURCE_DATE_EPOCH).
#
# scripts/release.sh --check builds the current commit twice, in two clean clones in different folders
# (with another umask and time zone), and compares the two out/ folders byte for byte.
set -euo pipefail
. "$(dirname "$0")/env.sh"

if [ "${1:-}" = --check ]; then
  commit=$(git -C "$ROOT" rev-parse HEAD)
  work=$(mktemp -d /tmp/tarnwick-check.XXXXXX)
  trap 'rm -rf "$work"' EXIT
  git clone -q --no-checkout "$ROOT" "$work/one" && git -C "$work/one" checkout -q "$commit"
  git clone -q --no-checkout "$ROOT" "$work/a-second-clone" && git -C "$work/a-second-clone" checkout -q "$commit"
  echo "== build 1 of $commit in $work/one"
  (env -u TARNWICK_SIGN_PKCS12 -u TARNWICK_SIGN_PKCS11_MODULE "$work/one/scripts/release.sh" >/dev/null)
  echo "== build 2 in $work/a-second-clone"
  (umask 027 && env -u TARNWICK_SIGN_PKCS12 -u TARNWICK_SIGN_PKCS11_MODULE TZ=Pacific/Auckland \
    "$work/a-second-clone/scripts/release.sh" >/dev/null)
  if diff -r "$work/one/out" "$work/a-second-clone/out"; then
    echo "Reproducible: both builds of $commit are identical."
    cat "$work/one/out/SHA256SUMS"
  else
    echo "NOT reproducible: the builds above differ." >&2
    exit 1
  fi
  exit 0
fi

prepare
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\) .*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$version" ] || { echo "No version in CMakeLists.txt's project()" >&2; exit 1; }
# The last commit's time stands for every time in the release: the PE header's (GNU ld reads
# SOURCE_DATE_EPOCH), the zip entries' and the SBOM's. Zip entries keep local time: UTC for all.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
url_base=${TARNWICK_URL_BASE:-https://example.invalid/tarnwick/releases/download/v$version}
out="$ROOT/out"
rm -rf "$out"
mkdir -p "$out"

sbom_args=()
unsigned_sums=()
zips=()
for arch in x86 x64; do
  name=Tarnwick-$version
  toolchain=mingw-i686.cmake
  if [ "$arch" = x64 ]; then
    name=Tarnwick-$version-x64
    toolchain=mingw-x86_64.cmake
  fi
  # A fresh tree of its own: no test program, paths inside the sources written relative (-ffile-prefix-map),
  # symbols stripped by the linker (a separate strip would stamp the current time). Fresh, since a tree
  # kept from an earlier commit would not link again and keep that commit's time in the PE header.
  tree="$BUILD/release-$arch"
  rm -rf "$tree"
  cmake -S "$ROOT" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DTARNWICK_E2E=OFF "-DCMAKE_C_FLAGS=-ffile-prefix-map=$ROOT/=" "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$ROOT/=" \
    -DCMAKE_EXE_LINKER_FLAGS=-s >/dev/null
  cmake --build "$tree" -j "$JOBS" --target shipped >/dev/null
  stage="$out/$name"
  mkdir -p "$stage"
  programs=(Tarnwick.exe)
  [ -f "$tree/bin/Tarnwick.com" ] && programs+=(Tarnwick.com)
  declare -A unsigned=()
  for program in "${programs[@]}"; do
    install -m 755 "$tree/bin/$program" "$stage/$program"
    # Padded and checksummed as osslsigncode remove-signature gives a signed program back.
    /usr/bin/python3 "$ROOT/scripts/pe_canonical.py" "$stage/$program"
    unsigned[$program]=$(sha256sum "$stage/$program" | cut -d' ' -f1)
    unsigned_sums+=("${unsigned[$program]}  $name/$program")
  done
  install -m 644 "$ROOT/README.md" "$ROOT/LICENSE" "$stage/"
  (cd "$stage" && "$ROOT/scripts/sign.sh" "${programs[@]}")
  for program in "${programs[@]}"; do
    map=-
    [ "$program" = Tarnwick.exe ] && map="$tree/bin/Tarnwick.map"
    sbom_args+=(--exe "$name/$program" "$stage/$program" "$map" --unsigned "$name/$program" "${unsigned[$program]}")
  done
  # Fixed order, times and rights, no extra fields (-X) and no folder entries (-D).
  find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$out" && zip -q -X -D "$name.zip" "${programs[@]/#/$name/}" "$name/README.md" "$name/LICENSE")
  touch -d "@$SOURCE_DATE_EPOCH" "$out/$name.zip"
  zips+=("$out/$name.zip")
  echo "Release: $out/$name.zip ($(stat -c %s "$out/$name.zip") bytes)"
done

/usr/bin/python3 "$ROOT/scripts/sbom.py" --version "$version" --out "$out/Tarnwick-$version.cdx.json" "${sbom_args[@]}"
/usr/bin/python3 "$ROOT/scripts/packaging.py" --version "$version" --url-base "$url_base" --out "$out/packaging" \
  --zip32 "${zips[0]}" --zip64 "${zips[1]}"
printf '%s\n' "${unsigned_sums[@]}" >"$out/SHA256SUMS.unsigned"
(cd "$out" && find . -type f ! -name 'SHA256SUMS*' -printf '%P\n' | sort | xargs -d '\n' sha256sum >SHA256SUMS)
echo "SBOM: $out/Tarnwick-$version.cdx.json; manifests: $out/packaging; hashes: $out/SHA256SUMS"
cat "$out/SHA256SUMS.unsigned"
