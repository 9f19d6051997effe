# What both Windows toolchains share: Debian's mingw-w64 compilers of the posix
# thread model (std::thread), a static program that needs only Windows' own DLLs,
# and zlib from libz-mingw-w64-dev. Each toolchain file sets VORSEL_MINGW_TRIPLE
# and VORSEL_WINE before including this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VORSEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORSEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORSEL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORSEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# The tests run through Wine (Debian's wine script picks wine64 for a 64-bit program).
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORSEL_WINE})
