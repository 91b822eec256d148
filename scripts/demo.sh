#!/usr/bin/env bash
# Builds everything and shows the result under wine64: on the user's display
# when there is one, otherwise on a virtual display, leaving screenshots in
# build/win64/screenshots.
#
# The end-to-end driver walks the installation with the default choices and
# saves a screenshot of each page and message box; the installed files land in
# the build tree's Wine prefix.
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
rm -f "$shots"/walkthrough-*
winpath() { echo "Z:$1" | tr / '\\'; }
# The game's files as packed, which the driver compares the installed ones with.
game=$(sed -n 's/^QUARNEL_GAME_TREE:[A-Z]*=//p' "$tree/CMakeCache.txt")
rc=0
"$WINE64" "$tree/tests/e2e/e2e_driver.exe" walkthrough "$(winpath "$tree/setup.exe")" "$(winpath "$shots")" \
  "$(winpath "$game")" || rc=$?
# PNG copies for viewing anywhere.
for bmp in "$shots"/walkthrough-*.bmp; do
  [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
# Wine keeps the folder under the name the prefix gave it ("Program Files").
installed=$(find "$WINEPREFIX/drive_c" -maxdepth 2 -ipath "$WINEPREFIX/drive_c/program files/quarnel" | head -1)
if [ -n "$installed" ]; then
  echo "demo: installed C:\Program files\Quarnel, which is $installed ($(find "$installed" -type f | wc -l) files)"
else
  echo "demo: nothing was installed"
fi
echo "demo: screenshots in $shots"
exit $rc
