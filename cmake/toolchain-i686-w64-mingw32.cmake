# i686 Windows build: the shipping installer. Its programs run under Wine's
# 32-bit loader in a win64 prefix, as 64-bit Windows runs a PE32 file.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUARNEL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
