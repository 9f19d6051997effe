# 32-bit Windows (x86), built with mingw-w64; run under a 32-bit Wine where one is installed.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(VORSEL_MINGW_TRIPLE i686-w64-mingw32)
set(VORSEL_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_common.cmake)
