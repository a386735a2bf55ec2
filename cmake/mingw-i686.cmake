# Cross-builds the 32-bit Windows program with MinGW-w64. The processor name
# matters: the root build gives i?86 SSE2 arithmetic instead of x87, whose
# excess precision would change results. The posix-thread compilers are
# required: the core runs operations in std::thread stripes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(LUMAFORGE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMAFORGE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMAFORGE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMAFORGE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LUMAFORGE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
