# x86_64 Windows build: runs under wine64 for the Windows-side tests.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUARNEL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
