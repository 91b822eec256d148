# Sourced with the root of a Windows build tree as $1: sets the environment
# under which every Wine run of the project happens. The prefix lives in the
# build tree, HOME is redirected so that Wine's Desktop and Documents links do
# not reach the real home folder, and nothing prompts or waits.
QUARNEL_WIN_BUILD="$(cd "$1" && pwd)"
export WINEPREFIX="$QUARNEL_WIN_BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export HOME="$QUARNEL_WIN_BUILD/home"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINE64=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
mkdir -p "$HOME"
