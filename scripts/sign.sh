#!/usr/bin/env bash
# Signs Windows programs in place with osslsigncode (Authenticode, SHA-256) when a key is given, and
# says so and signs nothing when none is. scripts/release.sh calls it for every shipped program.
#
# The key, from the environment:
#   TARNWICK_SIGN_PKCS12            a PKCS#12 file (certificate chain and key)
#   TARNWICK_SIGN_PASSWORD_FILE     its password, on the first line of a file (never on a command line)
# or
#   TARNWICK_SIGN_PKCS11_MODULE     a PKCS#11 module (a token or an HSM), e.g. /usr/lib/x86_64-linux-gnu/opensc-pkcs11.so
#   TARNWICK_SIGN_KEY_ID            the key on it, as a PKCS#11 URI ("pkcs11:object=...;type=private")
#   TARNWICK_SIGN_CERTS             the certificate chain of that key, PEM
#   TARNWICK_SIGN_PASSWORD_FILE     the token's PIN, when it asks for one
# and
#   TARNWICK_TIMESTAMP_URL          an RFC 3161 time-stamp server: the signature then outlives the certificate
# Usage: scripts/sign.sh FILE...
set -euo pipefail

if [ -n "${TARNWICK_SIGN_PKCS12:-}" ]; then
  key=(-pkcs12 "$TARNWICK_SIGN_PKCS12")
elif [ -n "${TARNWICK_SIGN_PKCS11_MODULE:-}" ]; then
  : "${TARNWICK_SIGN_KEY_ID:?TARNWICK_SIGN_KEY_ID names the key on the PKCS#11 module}"
  : "${TARNWICK_SIGN_CERTS:?TARNWICK_SIGN_CERTS is the PEM certificate chain of the PKCS#11 key}"
  key=(-pkcs11module "$TARNWICK_SIGN_PKCS11_MODULE" -key "$TARNWICK_SIGN_KEY_ID" -certs "$TARNWICK_SIGN_CERTS")
else
  echo "Not signed: no key given (TARNWICK_SIGN_PKCS12 or TARNWICK_SIGN_PKCS11_MODULE)."
  exit 0
fi
[ -n "${TARNWICK_SIGN_PASSWORD_FILE:-}" ] && key+=(-readpass "$TARNWICK_SIGN_PASSWORD_FILE")
stamp=()
if [ -n "${TARNWICK_TIMESTAMP_URL:-}" ]; then
  stamp=(-ts "$TARNWICK_TIMESTAMP_URL")
else
  echo "No time stamp (TARNWICK_TIMESTAMP_URL): the signatures end with the certificate."
fi

for file in "$@"; do
  signed="$file.signed"
  osslsigncode sign "${key[@]}" "${stamp[@]}" -h sha256 -n Tarnwick -in "$file" -out "$signed" >/dev/null
  mv "$signed" "$file"
  echo "Signed: $file"
done
