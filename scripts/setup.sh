#!/usr/bin/env bash
# Brings a Debian 12 machine to the state where Vorsel builds, runs and is tested.
# Idempotent and quiet: it asks apt only for what is missing, and updates the
# package lists only then.
#   setup.sh          what building and running need
#   setup.sh --test   also what the tests need
#   setup.sh --windows   also what building for Windows and testing under Wine need
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libboost-dev zlib1g-dev libuchardet-dev libre2-dev liblzma-dev libzstd-dev libssl-dev p7zip-full)
if [[ "${1:-}" == "--windows" ]]; then
  # mingw-w64's compilers of the posix thread model (std::thread), its zlib, Wine
  # to run the tests, GoogleTest's sources to build them with, ccache, and npm to
  # fetch the tests' 7z.dll; dpkg-dev, unicode-data and python3 make RE2 from
  # Debian's source package (scripts/build_re2_windows.sh); liblzma is made from
  # Debian's too (scripts/build_xz_windows.sh).
  packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev wine wine64 libgtest-dev ccache
             dpkg-dev unicode-data python3)
  if ! command -v npm >/dev/null; then packages+=(npm); fi
fi
if [[ "${1:-}" == "--test" ]]; then
  # vpx-tools: vpxenc encodes the browser tests' sample video. gcab makes
  # cabinet archives for the hostile archive tests and the archive fuzz seeds,
  # genisoimage an ISO 9660 image for those seeds; wrk is the load test's client;
  # cpio makes the rpm-like chain of single items and the cpio archives of the
  # tests of names in other encodings; unzip tests the zips of folders; zstd
  # (with pzstd) and xz-utils make the compressed tarballs of several frames
  # and blocks; zip and bzip2 make archives as their own tools do, to be
  # opened as themselves whatever they hold; curl, wget and aria2 are the
  # HTTP/1.1 clients whose kept and pipelined connections the tests check (wget
  # also follows a folder's links). The disk images' tests partition a disk with
  # fdisk's sfdisk, format its partitions with dosfstools' mkfs.fat (filled by
  # mtools' mcopy), e2fsprogs' mke2fs and ntfs-3g's mkntfs (filled by ntfscp),
  # and convert it with qemu-utils' qemu-img to VHD, VHDX, VDI, VMDK and QCOW2.
  packages+=(libgtest-dev python3 clang libclang-rt-14-dev chromium vpx-tools gcab genisoimage wrk cpio unzip zstd
             xz-utils zip bzip2 curl wget aria2 fdisk dosfstools mtools e2fsprogs ntfs-3g qemu-utils)
  # The browser tests run on node; a machine that has its own node keeps it.
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then packages+=(nodejs npm); fi
fi

# apt waits up to ten minutes for another apt that holds its lock.
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  sudo=()
  if [[ "$(id -u)" -ne 0 ]]; then sudo=(sudo); fi
  echo "setup: installing ${missing[*]}"
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The browser tests' driver and axe-core, from the npm registry at the versions of
# the lock file; again whenever the lock file is newer than what was installed.
browser_tests="$(dirname "$0")/../tests/browser"
if [[ "${1:-}" == "--test" && ! "$browser_tests/node_modules/.package-lock.json" -nt "$browser_tests/package-lock.json" ]]; then
  (cd "$browser_tests" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
