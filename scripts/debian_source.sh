#!/usr/bin/env bash
# Unpacks Debian's source package of a library that the Windows builds need
# and Debian ships for Linux only:
#   debian_source.sh PACKAGE FOLDER
# The source comes with `apt-get source` through a source list of this
# script's own; apt checks the files against the archive's signed index (the
# .dsc's own signature needs a keyring that machines do not have).
set -euo pipefail
package="$1"
folder="$(realpath -m "$2")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
  >"$work/sources.list"
mkdir -p "$work/lists/partial" "$work/get"
apt_options=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$work/lists" -o APT::Sandbox::User="$(id -un)")
apt-get "${apt_options[@]}" update -qq
(cd "$work/get" && apt-get "${apt_options[@]}" source --download-only -qq "$package" >/dev/null)
rm -rf "$folder"
dpkg-source --no-check -x "$work"/get/"$package"_*.dsc "$folder" >/dev/null
