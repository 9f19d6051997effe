# 64-bit Windows (x86-64), built with mingw-w64 and run under wine64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VORSEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(VORSEL_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_common.cmake)
