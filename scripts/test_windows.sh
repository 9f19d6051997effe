#!/usr/bin/env bash
# Builds Vorsel for Windows and tests it under Wine with the real 7z.dll:
#   test_windows.sh [LINUX_BUILD]     (default build/)
# the 64-bit build's unit tests run by CTest through Wine, then the end-to-end
# tests, a Linux program of LINUX_BUILD that starts vorsel.exe under Wine and
# talks to it over 127.0.0.1. The 32-bit build is compiled only, as its package
# is (without the tests, which it could not run): Debian's 32-bit Wine does not
# install from the package mirror these machines reach.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build="${1:-build}"

bash scripts/setup.sh --windows
export CCACHE_BASEDIR="$PWD" CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
win64="$PWD/build-win64"
# Both targets are built as the Windows package is (Release), with warnings as errors.
bash scripts/build_re2_windows.sh cmake/x86_64-w64-mingw32.cmake "$win64/re2"
bash scripts/build_xz_windows.sh cmake/x86_64-w64-mingw32.cmake "$win64/lzma"
bash scripts/build.sh "$win64" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/x86_64-w64-mingw32.cmake" -DRE2_PREFIX="$win64/re2" \
  -DLZMA_PREFIX="$win64/lzma" \
  -DCMAKE_BUILD_TYPE=Release -DVORSEL_WERROR=ON
bash scripts/fetch_7z_dll.sh "$win64" x64

# One wineserver for the run; Wine's services are started once with their
# streams on /dev/null, else they inherit CTest's pipes and it never returns.
export WINEPREFIX="$win64/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES=winebrowser.exe=d
mkdir -p "$WINEPREFIX"  # the server starts in it; the first program fills it
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1
echo "== Windows unit tests under Wine"
(cd "$win64" && ctest --output-on-failure -j2 -L windows)

echo "== the Windows program under Wine, from Linux"
# The Linux build keeps the compiler launcher it was configured with: one that
# it took from this script's environment would make it build everything again.
linux_cmake=(env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER cmake)
if [[ -f "$linux_build/CMakeCache.txt" ]]; then
  "${linux_cmake[@]}" "$linux_build" -DVORSEL_WINDOWS_BUILD="$win64" >/dev/null
else
  "${linux_cmake[@]}" -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORSEL_WERROR=ON \
    -DVORSEL_WINDOWS_BUILD="$win64" >/dev/null
fi
"${linux_cmake[@]}" --build "$linux_build" --target vorsel_wine_tests
(cd "$linux_build" && ctest --output-on-failure -L wine)

echo "== 32-bit Windows, compiled"
bash scripts/build_re2_windows.sh cmake/i686-w64-mingw32.cmake "$PWD/build-win32/re2"
bash scripts/build_xz_windows.sh cmake/i686-w64-mingw32.cmake "$PWD/build-win32/lzma"
bash scripts/build.sh "$PWD/build-win32" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i686-w64-mingw32.cmake" -DRE2_PREFIX="$PWD/build-win32/re2" \
  -DLZMA_PREFIX="$PWD/build-win32/lzma" \
  -DCMAKE_BUILD_TYPE=Release -DVORSEL_WERROR=ON -DVORSEL_WINDOWS_TESTS=OFF
