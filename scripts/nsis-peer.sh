# Sourced by the benchmark scripts. nsis_peer GAME OUT COMPRESSOR TARGET
# writes OUT, a silent installer made with makensis of the game tree GAME
# (its manifest left out; an empty GAME: an installer of nothing, whose size
# is the peer's own overhead), compressed solid with COMPRESSOR (zlib, lzma)
# for TARGET (x86-unicode, amd64-unicode).
nsis_peer() {
  local game="$1" out="$2" compressor="$3" target="$4" files=""
  [ -z "$game" ] || files="File /r /x manifest.txt \"$game/*\""
  { nsis_head "$out" "$target" "$compressor"
    cat <<EOF
SilentInstall silent
Section
  SetOutPath "\$INSTDIR"
  $files
SectionEnd
EOF
  } >"${out%.exe}.nsi"
  makensis -V2 "${out%.exe}.nsi" >/dev/null
}

# nsis_licence_peer GAME OUT TARGET LICENCE writes OUT, the same installer as
# its user sees it: a licence page, then its files. It does the installer's
# whole work, so that both are timed for the same result: the game's files,
# the same four shortcuts (the desktop's and the program group's, for all
# users) and the same six registry values under HKEY_LOCAL_MACHINE.
nsis_licence_peer() {
  local game="$1" out="$2" target="$3" licence="$4"
  local paths='Software\Microsoft\Windows\CurrentVersion\App Paths\Quarnel'
  local uninst='Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarnel'
  { nsis_head "$out" "$target" zlib
    cat <<EOF
LicenseData "$licence"
Page license
Page instfiles
Section
  SetShellVarContext all
  SetOutPath "\$INSTDIR"
  File /r /x manifest.txt "$game/*"
  WriteRegStr HKLM "$paths" "" "Quarnel"
  WriteRegStr HKLM "$paths" "Path" "\$INSTDIR"
  WriteRegStr HKLM "$uninst" "DisplayName" "Quarnel"
  WriteRegStr HKLM "$uninst" "UninstallString" '"\$INSTDIR\\uninstall.exe"'
  WriteRegStr HKLM "$uninst" "Scdir" "\$SMPROGRAMS\\Quarnel"
  WriteRegStr HKLM "$uninst" "Progdir" "\$INSTDIR"
  CreateShortCut "\$DESKTOP\\Quarnel.lnk" "\$INSTDIR\\quarnel.exe" "" "" 0 SW_SHOWNORMAL "" "Quarnel"
  CreateDirectory "\$SMPROGRAMS\\Quarnel"
  CreateShortCut "\$SMPROGRAMS\\Quarnel\\Quarnel.lnk" "\$INSTDIR\\quarnel.exe" "" "" 0 SW_SHOWNORMAL "" "Quarnel"
  CreateShortCut "\$SMPROGRAMS\\Quarnel\\Uninstall.lnk" "\$INSTDIR\\uninstall.exe" "" "" 0 SW_SHOWNORMAL "" "Uninstall"
  CreateShortCut "\$SMPROGRAMS\\Quarnel\\Readme.lnk" "\$INSTDIR\\Readme.rtf" "" "" 0 SW_SHOWNORMAL "" "Readme"
SectionEnd
EOF
  } >"${out%.exe}.nsi"
  makensis -V2 "${out%.exe}.nsi" >/dev/null
}

# The lines every peer begins with: output file, target, compressor.
nsis_head() {
  cat <<EOF
Unicode true
Target $2
SetCompressor /SOLID $3
RequestExecutionLevel user
Name "Quarnel"
OutFile "$1"
InstallDir "C:\\quarnel-bench\\peer"
EOF
}
