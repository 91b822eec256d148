#!/usr/bin/env bash
# Creates the win64 Wine prefix of a Windows build tree once: $1 is the tree.
# Crash dialogs are turned off (a crashing program exits instead of waiting)
# and windows are unmanaged (no 2 s stall on every close without a window
# manager).
set -euo pipefail
here="$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")"
. "$here/wine-env.sh" "$1"
stamp="$WINEPREFIX/.quarnel-ready"
[ -f "$stamp" ] && exit 0
rm -rf "$WINEPREFIX"
"$WINE64" wineboot -i >/dev/null 2>&1
"$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
"$WINESERVER" -w
touch "$stamp"
echo "wine-prefix: created $WINEPREFIX"
