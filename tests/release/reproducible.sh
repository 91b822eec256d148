#!/usr/bin/env bash
# reproducible.sh SRC WORK: copies the sources SRC to two places of different
# names under WORK and makes a release from each (scripts/release.sh, the
# first signed with a throwaway certificate), minutes apart. The unsigned
# setup.exe files must be the same bytes, carry no debug information and no
# build path, and the signed one must verify and be that same file once its
# signature is taken off.
set -euo pipefail
src="$(cd "$1" && pwd)" work="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
work="$(cd "$work" && pwd)"
copy_sources() { # dest
  mkdir -p "$1"
  if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$src" && git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf -) | tar -xf - -C "$1"
  else
    tar -C "$src" --exclude=./build --exclude=./dist -cf - . | tar -xf - -C "$1"
  fi
}
a="$work/a/src" b="$work/second-copy/quarnel"
copy_sources "$a"
copy_sources "$b"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quarnel test publisher" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null

QUARNEL_RELEASE_BUILD="$work/a/build" "$a/scripts/release.sh" --out "$work/a/dist" \
  --cert "$work/cert.pem" --key "$work/key.pem" | tee "$work/a.log"
QUARNEL_RELEASE_BUILD="$work/second-copy/tree" "$b/scripts/release.sh" --out "$work/second-copy/dist" | tee "$work/b.log"

signed="$work/a/dist/setup.exe" plain="$work/second-copy/dist/setup.exe"
grep -q UNSIGNED "$work/b.log" || fail "an unsigned release does not say so"
(cd "$work/a/dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match the signed setup.exe"
(cd "$work/second-copy/dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match setup.exe"

cmp "$work/a/build/win32/setup.exe" "$plain" || fail "two builds of the same sources differ"
osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "the signed setup.exe does not verify"; }
# Taking the signature off leaves the PE checksum that signing set and the
# padding before the signature; every other byte must be the build's.
osslsigncode remove-signature -in "$signed" -out "$work/unsigned.exe" >/dev/null
sum_at=$(($(od -An -tu4 -j 60 -N4 "$plain") + 88)) size=$(stat -c %s "$plain")
cmp -n "$sum_at" "$work/unsigned.exe" "$plain" &&
  cmp -i $((sum_at + 4)) -n $((size - sum_at - 4)) "$work/unsigned.exe" "$plain" ||
  fail "the signed setup.exe is not the unsigned one with a signature"

! i686-w64-mingw32-objdump -h "$plain" | grep -q '\.debug' || fail "setup.exe carries debug sections"
for path in "$work" "$src"; do
  ! grep -qF "$path" "$plain" || fail "setup.exe holds the build path $path"
done
echo "PASS: $(stat -c %s "$plain") bytes, the same from both trees; signed copy verifies"
rm -rf "$work"
