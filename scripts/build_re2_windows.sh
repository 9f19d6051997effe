#!/usr/bin/env bash
# Builds RE2 for a Windows target from Debian's own source package, which the
# Windows builds link for contents search (Debian ships RE2 for Linux only):
#   build_re2_windows.sh TOOLCHAIN_FILE PREFIX
# installs a static libre2.a, its headers and its CMake package under PREFIX.
# Nothing is done when PREFIX already holds it. The source comes from
# debian_source.sh, and the Unicode tables that Debian's package leaves out are
# made again from unicode-data, as Debian's own build does.
set -euo pipefail
cd "$(dirname "$0")/.."
toolchain="$(realpath "$1")"
prefix="$(realpath -m "$2")"
if [[ -f "$prefix/lib/libre2.a" && -f "$prefix/lib/cmake/re2/re2Config.cmake" ]]; then exit 0; fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
bash scripts/debian_source.sh re2 "$work/src"
make -s -C "$work/src" REBUILD_TABLES=1 re2/perl_groups.cc re2/unicode_casefold.cc re2/unicode_groups.cc >/dev/null
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DRE2_BUILD_TESTING=OFF -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$work/build" >/dev/null
cmake --install "$work/build" >/dev/null
