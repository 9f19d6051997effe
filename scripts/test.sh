#!/usr/bin/env bash
# Sets the machine up, checks the layers, builds Vorsel three times (normally,
# with AddressSanitizer and UndefinedBehaviorSanitizer, and with
# ThreadSanitizer), fuzzes, and runs every test in the normal build, the unit
# tests under the first two sanitizers and the tests that run the server's
# threads under the third; then builds both Windows targets and runs the
# Windows tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh --test
bash scripts/check_layers.sh
# Every build fails on a warning; the normal one is a Release build (-O3), whose
# optimiser warns of things that the others do not see.
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVORSEL_SANITIZE=ON -DVORSEL_WERROR=ON
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DVORSEL_WERROR=ON
bash scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORSEL_THREAD_SANITIZE=ON -DVORSEL_WERROR=ON
bash scripts/fuzz.sh 30

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build-asan && ctest --output-on-failure -j2 -L unit)
echo "== tests that run the server's threads, under ThreadSanitizer"
(cd build-tsan && ctest --output-on-failure -j2 -L unit -R 'ExtractionPool|XzBlocks|ZstdFrames|EndToEnd|Streaming|HostileClients|ArchiveItems|Details|InnerArchives|EncryptedAndSplit|ContentSearch|TestRoute|Checksums|ZipDownload')
echo "== all tests"
(cd build && ctest --output-on-failure -j2 -LE wine)
bash scripts/test_windows.sh build
