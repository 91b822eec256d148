#!/usr/bin/env bash
# Prints the size of the payload's gzip member and of setup.exe against other
# compressions of the same archive and the same game tree:
#   ours      filesdata.gz as the build makes it (libdeflate, level 12);
#   zlib -9   zlib's deflate at its best level, the packer's former encoder
#             (python3's zlib, when python3 is there);
#   gzip -9   gzip -9n of the archive;
#   zopfli    zopfli --gzip of the archive, with --zopfli (minutes);
#   nsis      installers of the game tree made with makensis, solid zlib and
#             solid lzma, whole and less an empty installer of the same kind.
#
# Usage: scripts/payload-sizes.sh [--zopfli] [TREE]   (a Windows build tree,
# default $QUARNEL_BUILD_DIR/win32 or build/win32: the shipping one)
set -euo pipefail
export LC_ALL=C
root="$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)"
zopfli=false
[ "${1:-}" != --zopfli ] || { zopfli=true; shift; }
tree="${1:-${QUARNEL_BUILD_DIR:-$root/build}/win32}"
fail() { echo "payload-sizes: $*" >&2; exit 1; }
[ -f "$tree/CMakeCache.txt" ] || fail "no build tree at $tree (scripts/build.sh makes it)"
cmake --build "$tree" --target setup >/dev/null
tree="$(cd "$tree" && pwd)"

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$tree/CMakeCache.txt"; }
payload_gz=$(cache_value QUARNEL_PAYLOAD_GZ)
archive=$(cache_value QUARNEL_PAYLOAD_ARCHIVE)
game=$(cache_value QUARNEL_GAME_TREE)
[ -f "$payload_gz" ] && [ -f "$archive" ] && [ -d "$game" ] || fail "no payload in $tree"
case "$(cache_value CMAKE_SYSTEM_PROCESSOR)" in
  x86_64) target=amd64-unicode ;;
  *) target=x86-unicode ;;
esac

work="$tree/sizes-work"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
size() { stat -c %s "$1"; }
row() { # label, bytes[, what the ratio is against: default our payload]
  awk -v l="$1" -v n="$2" -v base="${3:-$ours}" 'BEGIN { printf "%-52s %11d  %6.3f\n", l, n, n / base }'
}

ours=$(size "$payload_gz")
echo "== The payload of $tree: $(size "$archive") archive bytes, $(find "$game" -type f ! -name manifest.txt | wc -l) files =="
printf '%-52s %11s  %6s\n' "" bytes "/ ours"
row "ours: filesdata.gz (libdeflate level 12)" "$ours"
if command -v python3 >/dev/null; then
  # Raw deflate as the packer used to call it, plus the 18 bytes of gzip
  # header and trailer.
  zlib9=$(python3 -c 'import sys, zlib
c = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
data = open(sys.argv[1], "rb").read()
print(len(c.compress(data) + c.flush()) + 18)' "$archive")
  row "zlib level 9 (the packer's former encoder)" "$zlib9"
fi
gzip -9nc "$archive" >"$work/archive.gz"
row "gzip -9" "$(size "$work/archive.gz")"
if $zopfli; then
  zopfli --gzip -c "$archive" >"$work/archive.zopfli.gz"
  row "zopfli --gzip (15 iterations)" "$(size "$work/archive.zopfli.gz")"
fi

. "$root/scripts/nsis-peer.sh"
echo "== Installers of the same game tree =="
printf '%-52s %11s  %6s\n' "" bytes "/ ours"
setup=$(size "$tree/setup.exe")
row "ours: setup.exe" "$setup" "$setup"
for compressor in zlib lzma; do
  nsis_peer "$game" "$work/nsis-$compressor.exe" "$compressor" "$target"
  nsis_peer "" "$work/empty-$compressor.exe" "$compressor" "$target"
  whole=$(size "$work/nsis-$compressor.exe")
  row "NSIS /SOLID $compressor ($target), against setup.exe" "$whole" "$setup"
  row "  less an empty installer: its files, against filesdata.gz" "$((whole - $(size "$work/empty-$compressor.exe")))"
done
