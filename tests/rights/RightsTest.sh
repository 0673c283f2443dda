#!/usr/bin/env bash
# Runs the rights tests as an ordinary Linux account, since root ignores Unix permissions: makes the
# account if it is missing, gives it a Wine prefix of its own (made once, then reused), lays out the
# test's folders with the owners and modes each case needs, and runs the tests with runuser.
# Usage: RightsTest.sh tarnwick_rights.exe Tarnwick.exe [LOADER]   (as root; DISPLAY names an X server
# started by root with -nolisten tcp, which the account may use). LOADER: "wine" or Wine's 64-bit loader.
set -euo pipefail
tests=$1
exe=$2
wine=${3:-wine}
account=tarnwick-user

if [ "$(id -u)" != 0 ]; then
  echo "The rights tests make an account and need root; skipped."
  exit 77
fi
id "$account" >/dev/null 2>&1 || useradd -m -s /bin/sh "$account"
home=$(getent passwd "$account" | cut -d: -f6)
prefix=$home/prefix-$(basename "$wine")

as_account() {
  local loader=()
  [ "$wine" = wine ] || loader=(WINELOADER="$wine")
  runuser -u "$account" -- env -i PATH=/usr/bin:/bin HOME="$home" USER="$account" LANG=C.UTF-8 DISPLAY="$DISPLAY" \
    WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "${loader[@]}" "$@"
}

if [ ! -f "$prefix/system.reg" ]; then
  echo "Making the Wine prefix $prefix"
  as_account "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
  as_account wineserver -w
fi

# The clone may lie where the account cannot read: everything it needs is copied out, onto the C: drive of
# the account's prefix. Wine runs every program elevated, so Tarnwick checks every folder above its own:
# below /tmp (mode 1777, "everyone may delete what is in it") or on Z: (whose root another Unix user
# owns) it would rightly refuse.
stage=$(mktemp -d "$prefix/drive_c/tarnwick-rights.XXXXXX")
cleanup() {
  as_account wineserver -k 2>/dev/null || true
  rm -rf "$stage"
}
trap cleanup EXIT
chmod 755 "$stage"
chown "$account" "$stage"
cp "$tests" "$stage/rights.exe"
cp "$exe" "$stage/Tarnwick.exe"
chmod 644 "$stage"/*.exe

entry=$'[kept.exe]\r\nImageName=kept.exe\r\nDescription=kept\r\n'
# Folders that refuse new files, holding a list file that is writable, or read-only. They belong to the
# account, as a folder under Program Files belongs to the administrators: under Wine, which runs every
# program elevated, a folder of another Unix user would show an owner that the trust check refuses.
for case in fileonly readonly; do
  mkdir "$stage/$case"
  cp "$stage/Tarnwick.exe" "$stage/$case/"
  printf '%s' "$entry" >"$stage/$case/Tarnwick.ini"
done
chmod 644 "$stage/fileonly/Tarnwick.ini"
chmod 444 "$stage/readonly/Tarnwick.ini"
# The log of that folder may be written, so that a failed save can be told there.
install -m 644 /dev/null "$stage/readonly/Tarnwick.log"
for case in fileonly readonly; do
  chown -R "$account" "$stage/$case"
  chmod 555 "$stage/$case"
done
# The account's own folder: the tests make the folder named in other scripts and the hard link there.
mkdir "$stage/own"
chown "$account" "$stage/own"

# Wine's services inherit the first program's output: started apart, they keep no reader waiting.
as_account wineserver -p
as_account "$wine" wineboot </dev/null >/dev/null 2>&1 || true
as_account TARNWICK_RIGHTS_STAGE="C:\\${stage##*/}" "$wine" "$stage/rights.exe"
