#!/usr/bin/env bash
# Builds the three trees: build/host (native tools and tests, clang with
# sanitizers), build/win64 (x86_64 Windows: runs under wine64 for the tests)
# and build/win32 (i686 Windows: the shipping setup.exe).
#
# QUARNEL_GAME_DIR=/path/to/game (with manifest.txt, or QUARNEL_GAME_MANIFEST)
# packs the publisher's files instead of the generated sample game.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)"
build="${QUARNEL_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"

game_args=()
[ -n "${QUARNEL_GAME_DIR:-}" ] && game_args+=("-DQUARNEL_GAME_DIR=$QUARNEL_GAME_DIR")
[ -n "${QUARNEL_GAME_MANIFEST:-}" ] && game_args+=("-DQUARNEL_GAME_MANIFEST=$QUARNEL_GAME_MANIFEST")

configure() { # dir, extra args...
  local dir="$1"; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  else
    cmake "$dir" "$@" >/dev/null
  fi
}

configure "$build/host" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build "$build/host"

for arch in win64 win32; do
  case "$arch" in
    win64) tc="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" ;;
    win32) tc="$root/cmake/toolchain-i686-w64-mingw32.cmake" ;;
  esac
  configure "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$tc" -DQUARNEL_HOST_TOOLS="$build/host/tools" "${game_args[@]}"
  cmake --build "$build/$arch"
done
echo "build: setup programs in $build/win32 (shipping, i686) and $build/win64 (x86_64, for Wine)"
