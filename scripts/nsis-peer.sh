# Sourced by the benchmark scripts. nsis_peer GAME OUT COMPRESSOR TARGET
# writes OUT, a silent installer made with makensis of the game tree GAME
# (its manifest left out; an empty GAME: an installer of nothing, whose size
# is the peer's own overhead), compressed solid with COMPRESSOR (zlib, lzma)
# for TARGET (x86-unicode, amd64-unicode).
nsis_peer() {
  local game="$1" out="$2" compressor="$3" target="$4" files=""
  [ -z "$game" ] || files="File /r /x manifest.txt \"$game/*\""
  cat >"${out%.exe}.nsi" <<EOF
Unicode true
Target $target
SetCompressor /SOLID $compressor
SilentInstall silent
RequestExecutionLevel user
Name "Quarnel"
OutFile "$out"
InstallDir "C:\\quarnel-bench\\peer"
Section
  SetOutPath "\$INSTDIR"
  $files
SectionEnd
EOF
  makensis -V2 "${out%.exe}.nsi" >/dev/null
}
