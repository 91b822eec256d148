# Warnings are errors everywhere. Product code is also held to -Wconversion.
add_compile_options(-Wall -Wextra -Werror)

if(WIN32)
  # C99 printf family (vsnprintf reports truncation) and a self-contained
  # executable: zlib, libgcc and libstdc++ linked in, only system DLLs imported.
  add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(QUARNEL_ZLIB z)
else()
  # Native code runs under AddressSanitizer and UndefinedBehaviorSanitizer.
  set(QUARNEL_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${QUARNEL_SANITIZE})
  add_link_options(${QUARNEL_SANITIZE})
  find_package(ZLIB REQUIRED)
  set(QUARNEL_ZLIB ZLIB::ZLIB)
endif()

function(quarnel_product_flags target)
  target_compile_options(${target} PRIVATE -Wconversion -Wsign-conversion -Wshadow)
endfunction()
