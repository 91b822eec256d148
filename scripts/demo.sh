#!/usr/bin/env bash
# Builds everything and shows the result under wine64: on the user's display
# when there is one, otherwise on a virtual display, leaving screenshots in
# build/win64/screenshots.
#
# The end-to-end driver walks the installation with the default choices (the
# shortcut-folder browser opened and cancelled on the way) and saves a
# screenshot of each page, box and browser, and of the program group the shell
# opens at the end; the installed files, the shortcuts and the registry
# entries land in the build tree's Wine prefix, and are shown at the end. On a
# virtual display a picture goes on the desktop first, so that the screenshots
# show the installer's dimmed copy of it behind the pages.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)"
build="${QUARNEL_BUILD_DIR:-$root/build}"
tree="$build/win64"

if [ "${1:-}" != "--inside" ]; then
  "$root/scripts/build.sh"
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$root/scripts/wine-session.sh" "$tree" "$0" --inside
  fi
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$root/scripts/wine-session.sh" "$tree" "$0" --inside \
    --virtual
fi

. "$root/scripts/wine-env.sh" "$tree"
shots="$tree/screenshots"
mkdir -p "$shots"
rm -f "$shots"/walkthrough-*
if [ "${2:-}" = --virtual ]; then
  # The virtual screen is plain; a picture on it shows in the screenshots
  # what the installer's backdrop makes of the desktop it finds.
  size=$(xdpyinfo | sed -n 's/^ *dimensions: *\([0-9]*x[0-9]*\) pixels.*/\1/p')
  # A sky with a picture in two corners that the pages leave free.
  convert -size "$size" gradient:'#1d4e89'-'#8cc4ee' \( logo: -resize 35% \) \
    -gravity northeast -geometry +16+16 -composite \( logo: -resize 35% \) -gravity southwest -geometry +16+16 \
    -composite "$tree/demo-desktop.png"
  display -window root "$tree/demo-desktop.png" || true  # sets the root's background, exits non-zero
fi
winpath() { echo "Z:$1" | tr / '\\'; }
# The game's files as packed, which the driver compares the installed ones with.
game=$(sed -n 's/^QUARNEL_GAME_TREE:[A-Z]*=//p' "$tree/CMakeCache.txt")
rc=0
# First the game installed and removed again through Wine's own list of
# installed programs (uninstaller.exe --list, then --remove), the way a
# player removes it from the system's list; then the walk that leaves it
# installed.
rm -f "$shots"/uninstall_wine_list-*
"$WINE64" "$tree/tests/e2e/e2e_driver.exe" uninstall_wine_list "$(winpath "$tree/setup.exe")" "$(winpath "$shots")" \
  "$(winpath "$game")" >"$shots/uninstall_wine_list.log" || rc=$?
echo "demo: Wine's list of installed programs, then its removal of the game:"
grep -E "list of installed programs|uninstaller asks|exit code|removed|PASS|FAIL" "$shots/uninstall_wine_list.log" |
  tr -d '\r' | sed 's/^/  /'
log="$shots/walkthrough.log"
"$WINE64" "$tree/tests/e2e/e2e_driver.exe" walkthrough "$(winpath "$tree/setup.exe")" "$(winpath "$shots")" \
  "$(winpath "$game")" | tee "$log" || rc=$?
# PNG copies for viewing anywhere.
for bmp in "$shots"/walkthrough-*.bmp "$shots"/uninstall_wine_list-*.bmp; do
  [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
# Wine keeps the folder under the name the prefix gave it ("Program Files").
installed=$(find "$WINEPREFIX/drive_c" -maxdepth 2 -ipath "$WINEPREFIX/drive_c/program files/quarnel" | head -1)
if [ -n "$installed" ]; then
  echo "demo: installed C:\Program files\Quarnel, which is $installed ($(find "$installed" -type f | wc -l) files):"
  (cd "$installed" && find . -mindepth 1 | sort | sed 's|^\./|  |')
else
  echo "demo: nothing was installed"
fi
# As the driver read them back through the shell-link object.
echo "demo: shortcuts (link: target|description):"
sed -n 's/^ok  *\(.*\.lnk: .*\)$/  \1/p' "$log" | tr -d '\r'
echo "demo: registry entries (also exported to $shots/*.reg):"
for key in "App Paths" Uninstall; do
  path="HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\$key\\Quarnel"
  "$WINE64" reg query "$path" | tr -d '\r' | sed '/^$/d; s/^/  /' || echo "  $path: missing"
  "$WINE64" reg export "$path" "$(winpath "$shots/quarnel-${key// /-}.reg")" /y >/dev/null || true
done
echo "demo: Wine's list of installed programs (uninstaller.exe --list):"
"$WINE64" uninstaller --list | tr -d '\r' | sed 's/^/  /'
echo "demo: screenshots in $shots"
exit $rc
