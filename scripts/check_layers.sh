#!/usr/bin/env bash
# Keeps the folders in layers: fails when a source file includes a project
# header from a folder it may not use. Each folder may use itself and those
# listed for it; app/ sits on top and may use every other.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [platform]="platform"
  [archive]="archive platform"
  [http]="http platform"
  [browse]="browse archive http platform"
  [app]="app browse archive http platform"
)

status=0
for folder in "${!allowed[@]}"; do
  while IFS=: read -r file line included; do
    used="${included%%/*}"
    [[ -n "${allowed[$used]+set}" ]] || continue  # not a layer: system or test headers
    if [[ " ${allowed[$folder]} " != *" $used "* ]]; then
      echo "$file:$line: $folder/ may not include $included" >&2
      status=1
    fi
  done < <(grep -rnoE '^#include "[^"]+"' --include='*.h' --include='*.cpp' "$folder" |
           sed -E 's/#include "([^"]+)"/\1/')
done
if ((status == 0)); then echo "layers: every include keeps to its layer"; fi
exit "$status"
