#!/usr/bin/env bash
# Builds Vorsel for speed, makes the benchmark archives once (deterministic) and
# runs the archive benchmark: archive_bench.sh [FOLDER, default /tmp/vorsel-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
folder="${1:-/tmp/vorsel-bench}"

bash scripts/setup.sh --test
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
python3 bench/make_archives.py "$folder"
build-release/bench/archive_bench "$folder"
