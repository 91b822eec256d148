#!/usr/bin/env bash
# Builds everything and shows the result under wine64: on the user's display
# when there is one, otherwise on a virtual display, leaving screenshots in
# build/win64/screenshots.
#
# For now the installer's pages are not built yet: the demo unpacks the payload
# the way the installer's copy step does, into C:\Program files\Quarnel of the
# build tree's Wine prefix, and starts the unpacked game.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)"
build="${QUARNEL_BUILD_DIR:-$root/build}"
tree="$build/win64"

if [ "${1:-}" != "--inside" ]; then
  "$root/scripts/build.sh"
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$root/scripts/wine-session.sh" "$tree" "$0" --inside
  fi
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$root/scripts/wine-session.sh" "$tree" "$0" --inside
fi

. "$root/scripts/wine-env.sh" "$tree"
shots="$tree/screenshots"
mkdir -p "$shots"
winpath() { echo "Z:$1" | tr / '\\'; }
target='C:\Program files\Quarnel'
"$WINE64" "$tree/tools/unpack/unpack.exe" "$(winpath "$tree/payload/filesdata.gz")" "$target"
"$WINE64" "$WINEPREFIX/drive_c/Program files/Quarnel/quarnel.exe" &
game=$!
sleep 3
import -window root "$shots/game.png"
kill "$game" 2>/dev/null || true
echo "demo: files in $WINEPREFIX/drive_c/Program files/Quarnel"
echo "demo: screenshot in $shots/game.png"
