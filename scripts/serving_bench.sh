#!/usr/bin/env bash
# Builds Vorsel for speed and runs the serving benchmark, which makes its archives
# once (deterministic) in the folder and compares with 7z and nginx:
#   serving_bench.sh [FOLDER, default /tmp/vorsel-serving-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
folder="${1:-/tmp/vorsel-serving-bench}"
export PATH="$PATH:/usr/sbin"  # nginx

bash scripts/setup.sh
tools=(nginx wrk curl python3)
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    sudo=()
    if [[ "$(id -u)" -ne 0 ]]; then sudo=(sudo); fi
    echo "serving_bench: installing ${tools[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${tools[@]}" >/dev/null
    break
  fi
done
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
python3 bench/serving_bench.py "$folder"
