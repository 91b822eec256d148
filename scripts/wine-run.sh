#!/usr/bin/env bash
# Runs a program of a Windows build tree under Wine with that build
# tree's prefix. The build tree is found from the program's own path, so this
# serves as CMake's cross-compiling emulator for ctest.
set -euo pipefail
exe="$1"
dir="$(dirname "$(readlink -f "$exe")")"
while [ ! -f "$dir/CMakeCache.txt" ]; do
  [ "$dir" = / ] && { echo "wine-run: no build tree above $exe" >&2; exit 2; }
  dir="$(dirname "$dir")"
done
here="$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh" "$dir"
exec "$WINE64" "$@"
