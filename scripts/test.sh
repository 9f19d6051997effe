#!/usr/bin/env bash
# Sets the machine up, builds Vorsel twice (normally and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh --test
bash scripts/check_layers.sh
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVORSEL_SANITIZE=ON
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
bash scripts/fuzz.sh 30

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build-asan && ctest --output-on-failure -j2 -L unit)
echo "== all tests"
(cd build && ctest --output-on-failure -j2)
