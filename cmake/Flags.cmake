# Warnings are errors everywhere. Product code is also held to -Wconversion.
add_compile_options(-Wall -Wextra -Werror)

if(WIN32)
  # C99 printf family (vsnprintf reports truncation) and a self-contained
  # executable: zlib, libgcc and libstdc++ linked in, only system DLLs imported.
  add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(QUARNEL_ZLIB z)
else()
  # Native code runs under AddressSanitizer and UndefinedBehaviorSanitizer,
  # except in the release's own tool tree, which only runs the build tools.
  option(QUARNEL_SANITIZE "Build native code with ASan and UBSan" ON)
  if(QUARNEL_SANITIZE)
    set(QUARNEL_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${QUARNEL_SANITIZE_FLAGS})
    add_link_options(${QUARNEL_SANITIZE_FLAGS})
  endif()
  find_package(ZLIB REQUIRED)
  set(QUARNEL_ZLIB ZLIB::ZLIB)
endif()

# The release trees (scripts/release.sh) give the same bytes wherever the
# sources and the tree lie and whenever they are built: no build paths in
# macros or debug information, no link time stamp, and no debug information
# left in the executables (the code is the same as in the RelWithDebInfo
# dev tree, which keeps it).
option(QUARNEL_RELEASE "Reproducible, stripped executables" OFF)
if(QUARNEL_RELEASE)
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  if(WIN32)
    add_link_options(-s -Wl,--no-insert-timestamp)
  endif()
endif()

# The Windows product code is C-style Win32: it neither throws nor catches nor
# asks for a type at run time, so it needs no exception tables and pulls in
# none of the C++ runtime's exception support (with its unwinder, demangler
# and threads library). One section per function lets the linker keep only
# what is called (-Wl,--gc-sections on setup.exe); not one per datum, which
# MinGW's GCC would give zero-filled buffers as file bytes in .data instead
# of room in .bss. The tests keep exceptions: GoogleTest needs them.
function(quarnel_product_flags target)
  target_compile_options(${target} PRIVATE -Wconversion -Wsign-conversion -Wshadow)
  if(WIN32)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -ffunction-sections)
    # 32-bit Windows unwinds through the frames' own handler chain, not
    # tables: the DWARF tables GCC would still write serve nothing here.
    # (x86_64 keeps its tables: Windows itself unwinds with them.)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables)
    endif()
  endif()
endfunction()

# Product code that is not on a hot path (the pages, dialogs and browsers,
# not decompression or extraction) is compiled for size in the Windows trees.
function(quarnel_small_code target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -Os)
  endif()
endfunction()
