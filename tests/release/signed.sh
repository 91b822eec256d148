#!/usr/bin/env bash
# signed.sh SETUP_EXE OUT_DIR: signs setup.exe as a release is signed
# (scripts/release.sh --sign-only) with a throwaway code-signing certificate
# into OUT_DIR/setup.exe, which an end-to-end run then installs from. The
# signature must verify against that certificate, and no longer once a byte
# of the signed file has changed.
set -euo pipefail
here="$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")"
setup="$1" out="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quarnel test publisher" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$out/key.pem" -out "$out/cert.pem" 2>/dev/null
"$here/../../scripts/release.sh" --cert "$out/cert.pem" --key "$out/key.pem" --sign-only "$setup" "$out/setup.exe"

osslsigncode verify -CAfile "$out/cert.pem" -in "$out/setup.exe" >"$out/verify.log" 2>&1 ||
  { cat "$out/verify.log"; fail "the signed setup.exe does not verify"; }
# One byte in the middle of the file, inside the payload, inverted.
cp "$out/setup.exe" "$out/tampered.exe"
at=$(($(stat -c %s "$out/tampered.exe") / 2))
byte=$(od -An -tu1 -j "$at" -N1 "$out/tampered.exe")
printf "\\x$(printf %02x $((byte ^ 255)))" | dd of="$out/tampered.exe" bs=1 seek="$at" conv=notrunc status=none
! osslsigncode verify -CAfile "$out/cert.pem" -in "$out/tampered.exe" >/dev/null 2>&1 ||
  fail "a changed byte leaves the signature valid"
rm -f "$out/tampered.exe"
echo "PASS: $out/setup.exe signed and verified"
