# i686 Windows build: the shipping installer. 32-bit code cannot run on the
# build machines, so this tree is compiled and linked only.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUARNEL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
