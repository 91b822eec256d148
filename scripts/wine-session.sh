#!/usr/bin/env bash
# Runs a command with a persistent wineserver and Wine's helper processes
# already started for the Windows build tree $1, and ends them afterwards.
# Started outside the command, the helpers do not inherit its pipes (ctest
# would otherwise wait for them after every test).
set -euo pipefail
here="$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")"
. "$here/wine-env.sh" "$1"
shift
"$here/wine-prefix.sh" "$QUARNEL_WIN_BUILD"
# A server that is already running belongs to another session: it is left
# alone, and this one does not start.
if ! "$WINESERVER" -p; then
  echo "wine-session: a wineserver already runs for $WINEPREFIX (another session); try again when it ends" >&2
  exit 2
fi
trap '"$WINESERVER" -k >/dev/null 2>&1 || true; "$WINESERVER" -w >/dev/null 2>&1 || true' EXIT
"$WINE64" wineboot >/dev/null 2>&1 </dev/null
"$@"
