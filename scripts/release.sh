#!/usr/bin/env bash
# Builds the shipping installer for a release: the i686 setup.exe from the
# sources and the game's files (the generated sample game, or the publisher's
# with QUARNEL_GAME_DIR and QUARNEL_GAME_MANIFEST, as for scripts/build.sh),
# and writes it with its SHA256SUMS into the output directory (dist/).
#
# The release has trees of its own ($QUARNEL_RELEASE_BUILD, default
# build/release: the build tools without sanitizers, and the i686 tree with
# QUARNEL_RELEASE), so the same sources and game files give the same bytes
# wherever they lie and whenever they are built. Given a code-signing
# certificate and its key (PEM), setup.exe is signed (Authenticode, SHA-256)
# before its sum is taken; the signature carries its signing time, so only
# the unsigned file is reproducible.
#
# Usage: scripts/release.sh [--cert CERT.pem --key KEY.pem] [--out DIR]
#        scripts/release.sh --cert CERT.pem --key KEY.pem --sign-only IN OUT
#          (signs IN into OUT as a release is signed, and builds nothing)
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)"

fail() { echo "release: $*" >&2; exit 1; }

cert="" key="" out="$root/dist" sign_in="" sign_out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --cert) cert="${2:?--cert needs a file}"; shift 2 ;;
    --key) key="${2:?--key needs a file}"; shift 2 ;;
    --out) out="${2:?--out needs a directory}"; shift 2 ;;
    --sign-only) sign_in="${2:?--sign-only needs IN and OUT}"; sign_out="${3:?--sign-only needs IN and OUT}"; shift 3 ;;
    *) fail "unknown argument '$1' (usage: release.sh [--cert CERT.pem --key KEY.pem] [--out DIR])" ;;
  esac
done
if { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
  fail "--cert and --key go together"
fi
for f in "$cert" "$key"; do
  [ -z "$f" ] || [ -f "$f" ] || fail "no such file: $f"
done

# Authenticode with SHA-256 digests; osslsigncode also sets the PE checksum.
sign() { # in, out
  rm -f "$2"
  osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Quarnel Setup" -in "$1" -out "$2" >/dev/null ||
    fail "signing $1 failed"
}

if [ -n "$sign_in" ]; then
  [ -n "$cert" ] || fail "--sign-only needs --cert and --key"
  sign "$sign_in" "$sign_out"
  exit 0
fi

"$root/scripts/install-deps.sh"
build="${QUARNEL_RELEASE_BUILD:-$root/build/release}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"
# The game's paths are passed every time (empty: the sample game), so a value
# left in the cache from an earlier run never picks the files.
game_dir="" game_manifest=""
[ -z "${QUARNEL_GAME_DIR:-}" ] || game_dir="$(readlink -f "$QUARNEL_GAME_DIR")"
[ -z "${QUARNEL_GAME_MANIFEST:-}" ] || game_manifest="$(readlink -f "$QUARNEL_GAME_MANIFEST")"

cmake -S "$root" -B "$build/host" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUARNEL_SANITIZE=OFF >/dev/null
cmake --build "$build/host" --parallel 2 --target qpack qsample qunlist qart qpecheck

# The same configuration as the shipping dev tree (build/win32), made
# reproducible and stripped.
cmake -S "$root" -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" -DQUARNEL_RELEASE=ON \
  -DQUARNEL_HOST_TOOLS="$build/host/tools" \
  -DQUARNEL_GAME_DIR="$game_dir" -DQUARNEL_GAME_MANIFEST="$game_manifest" >/dev/null
cmake --build "$build/win32" --parallel 2 --target setup
# The imports and resources of the file that ships, as for the dev tree.
ctest --test-dir "$build/win32" -R '^setup_pe_check$' --output-on-failure >/dev/null ||
  fail "the release setup.exe fails its import and resource check (ctest --test-dir $build/win32)"

mkdir -p "$out"
rm -f "$out/setup.exe" "$out/SHA256SUMS"
if [ -n "$cert" ]; then
  sign "$build/win32/setup.exe" "$out/setup.exe"
  signed="signed with $cert"
else
  cp "$build/win32/setup.exe" "$out/setup.exe"
  signed="UNSIGNED (give --cert CERT.pem --key KEY.pem to sign it)"
fi
(cd "$out" && sha256sum setup.exe >SHA256SUMS)
echo "release: $out/setup.exe ($(stat -c %s "$out/setup.exe") bytes), $signed"
cat "$out/SHA256SUMS"
