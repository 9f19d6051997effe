#!/usr/bin/env bash
# Sets the machine up, builds Vorsel and runs it: run.sh [ARCHIVE]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

exec "$root/build/vorsel" "$@"
