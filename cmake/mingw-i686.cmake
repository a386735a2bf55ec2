# Cross-builds the 32-bit Windows program with MinGW-w64. The processor name
# matters: the root build gives i?86 SSE2 arithmetic instead of x87, whose
# excess precision would change results.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUMAFORGE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
