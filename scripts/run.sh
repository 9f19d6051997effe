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
fi

# The program runs in the user's folder: it finds the viewer's page in the
# project's HTML/ from its own place in build/ (unless the folder has an HTML/
# of its own with an index.html).
exec "$root/build/vorsel" "$@"
