#!/usr/bin/env bash
# Builds liblzma for a Windows target from Debian's source package xz-utils,
# which the Windows builds link to read xz tarballs of several blocks through
# their blocks (Debian ships liblzma for Linux only):
#   build_xz_windows.sh TOOLCHAIN_FILE PREFIX
# installs a static liblzma.a, its headers and its CMake package under PREFIX.
# Nothing is done when PREFIX already holds it.
set -euo pipefail
cd "$(dirname "$0")/.."
toolchain="$(realpath "$1")"
prefix="$(realpath -m "$2")"
if [[ -f "$prefix/lib/liblzma.a" && -f "$prefix/lib/cmake/liblzma/liblzma-config.cmake" ]]; then exit 0; fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
bash scripts/debian_source.sh xz-utils "$work/src"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$work/build" --target liblzma >/dev/null
cmake --install "$work/build" --component liblzma_Development >/dev/null
