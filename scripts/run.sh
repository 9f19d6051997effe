#!/usr/bin/env bash
# Sets the machine up, builds Vorsel and runs it: run.sh [ARCHIVE]
# Without an archive it serves a demo archive made from scripts/demo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

if [[ $# -eq 0 ]]; then
  archive="$root/build/demo.7z"
  rm -f "$archive"
  (cd "$root/scripts/demo" && 7z a -bso0 -bsp0 "$archive" .)
  set -- "$archive"
elif [[ $# -eq 1 && "$1" != /* ]]; then
  set -- "$PWD/$1"  # the program runs in the project folder, so keep the user's folder in the path
fi

# The viewer's page is looked up in HTML/ below the working directory.
cd "$root"
exec "$root/build/vorsel" "$@"
