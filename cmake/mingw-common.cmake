# Shared by the MinGW-w64 toolchain files, which set LUMAFORGE_MINGW_TRIPLE
# and CMAKE_SYSTEM_PROCESSOR first. The posix-thread compilers are required:
# the core runs operations in std::thread stripes.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${LUMAFORGE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMAFORGE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMAFORGE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LUMAFORGE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC cannot align the stack beyond 16 bytes on 64-bit Windows, so a 32- or
# 64-byte vector it spills with an aligned move could fault in the AVX2 and
# AVX-512 copies of the kernels; the assembler writes every aligned vector
# move as an unaligned one, which costs nothing on aligned data.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
