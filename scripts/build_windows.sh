#!/usr/bin/env bash
# Builds the packages for Windows users, 64-bit and 32-bit, with mingw-w64:
#   build_windows.sh [OUTDIR]     (default build-windows/)
# leaves vorsel-VERSION-win64.zip and vorsel-VERSION-win32.zip in OUTDIR.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build-windows}")"

bash scripts/setup.sh --windows
export CCACHE_BASEDIR="$PWD" CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
mkdir -p "$out"
for target in x86_64-w64-mingw32:win64 i686-w64-mingw32:win32; do
  toolchain="${target%%:*}" width="${target##*:}"
  bash scripts/build_re2_windows.sh "cmake/$toolchain.cmake" "$out/$width/re2"
  bash scripts/build_xz_windows.sh "cmake/$toolchain.cmake" "$out/$width/lzma"
  bash scripts/build.sh "$out/$width" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$toolchain.cmake" -DRE2_PREFIX="$out/$width/re2" \
    -DLZMA_PREFIX="$out/$width/lzma" \
    -DCMAKE_BUILD_TYPE=Release -DVORSEL_WERROR=ON -DVORSEL_WINDOWS_TESTS=OFF
  (cd "$out/$width" && cpack -G ZIP >/dev/null)
  package="$(ls "$out/$width"/vorsel-*-"$width".zip)"
  mv "$package" "$out/"
  listing="$(unzip -l "$out/$(basename "$package")")"
  for wanted in vorsel.exe HTML/index.html README.txt; do
    grep -q "/$wanted\$" <<<"$listing" || { echo "build_windows.sh: $wanted is missing from $package" >&2; exit 1; }
  done
  echo "$out/$(basename "$package")"
done
