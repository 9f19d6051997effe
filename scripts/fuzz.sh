#!/usr/bin/env bash
# Builds every fuzz target (tests/fuzz/*_fuzz.cpp) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz, then runs each
# target in turn for SECONDS seconds (each target gets the full time):
#   fuzz.sh SECONDS
# A target starts from the inputs in tests/fuzz/corpus/NAME (hand-made seeds and
# past crashes), its corpus grows in build-fuzz/corpus/NAME across runs, its
# output goes to build-fuzz/logs/NAME.log, and an input that crashes it is kept
# in build-fuzz/crashes/NAME/. Targets run side by side, as many at once as
# FUZZ_JOBS says (default: the number of processors). The script fails when a
# target crashes, after the targets already running have finished. A target
# takes extra libFuzzer flags from tests/fuzz/NAME.options and LeakSanitizer
# suppressions from tests/fuzz/NAME.supp when they exist; the archive targets
# (archive_*fuzz) share tests/fuzz/archive.options and archive.supp.
# Each archive target also starts from small archives of its family, made here
# into build-fuzz/seeds/NAME (archive_fuzz gets them all; no binary seeds in
# the repository).
#
# The test script gives each target 30 s. For a long run, an hour per target:
#   bash scripts/fuzz.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-}"
if [[ ! "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: fuzz.sh SECONDS [NAME...]" >&2
  exit 2
fi

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORSEL_SANITIZE=ON -DVORSEL_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target vorsel_fuzz

# Small archives of each family that the archive side meets most, made into
# SEEDS/TARGET for every archive target: zip (stored and deflated), 7z (LZMA2,
# solid LZMA), tar, the compressors (xz, bzip2, gzip, lzma, zstd), ISO 9660,
# cabinet (MSZIP and stored) and rar (stored, laid out by make_rar_seeds.py).
# ISO and cabinet need genisoimage and gcab (setup.sh --test); a machine
# without them goes without those seeds. archive_fuzz gets every seed.
make_archive_seeds() {
  local seeds="$1" work
  work="$(mktemp -d)"
  rm -rf "$seeds"
  mkdir -p "$work/in/folder" "$seeds"/{archive_zip_fuzz,archive_7z_fuzz,archive_tar_fuzz,archive_compressed_fuzz,archive_iso_fuzz,archive_cab_fuzz,archive_rar_fuzz,archive_fuzz}
  printf 'hello\n' >"$work/in/hello.txt"
  for i in $(seq 1 40); do printf 'line %d of a text that compresses\n' "$i"; done >"$work/in/folder/text.txt"
  (
    cd "$work/in"
    7z a -bd -bso0 -tzip -mx=0 "$seeds/archive_zip_fuzz/stored.zip" hello.txt folder
    7z a -bd -bso0 -tzip -mx=5 "$seeds/archive_zip_fuzz/deflated.zip" hello.txt folder
    7z a -bd -bso0 -t7z -m0=lzma2 -ms=off "$seeds/archive_7z_fuzz/lzma2.7z" hello.txt folder
    7z a -bd -bso0 -t7z -m0=lzma -ms=on "$seeds/archive_7z_fuzz/solid.7z" hello.txt folder
    7z a -bd -bso0 -ttar "$seeds/archive_tar_fuzz/plain.tar" hello.txt folder
    7z a -bd -bso0 -txz "$seeds/archive_compressed_fuzz/text.txt.xz" folder/text.txt
    7z a -bd -bso0 -tbzip2 "$seeds/archive_compressed_fuzz/text.txt.bz2" folder/text.txt
    7z a -bd -bso0 -tgzip "$seeds/archive_compressed_fuzz/text.txt.gz" folder/text.txt
    if command -v lzma >/dev/null; then lzma -c folder/text.txt >"$seeds/archive_compressed_fuzz/text.txt.lzma"; fi
    if command -v zstd >/dev/null; then zstd -q -c folder/text.txt >"$seeds/archive_compressed_fuzz/text.txt.zst"; fi
    if command -v genisoimage >/dev/null; then genisoimage -quiet -R -no-pad -o "$seeds/archive_iso_fuzz/small.iso" .; fi
    if command -v gcab >/dev/null; then
      gcab -c -z "$seeds/archive_cab_fuzz/mszip.cab" hello.txt folder/text.txt
      gcab -c "$seeds/archive_cab_fuzz/stored.cab" hello.txt folder/text.txt
    fi
  )
  python3 tests/fuzz/make_rar_seeds.py "$seeds/archive_rar_fuzz"
  cp "$seeds"/archive_*_fuzz/* "$seeds/archive_fuzz/"
  rm -rf "$work"
}

shopt -s nullglob
sources=(tests/fuzz/*_fuzz.cpp)
if (($# > 1)); then
  sources=()
  for name in "${@:2}"; do sources+=("tests/fuzz/$name.cpp"); done
fi
if ((${#sources[@]} == 0)); then
  echo "fuzz: no targets in tests/fuzz" >&2
  exit 1
fi

# Fuzzes one target for the run's time; its output goes to its log and the
# summary line of the run to its own file, printed when it ends.
fuzz_target() {
  local name="$1" corpus crashes log shared lsan_options
  corpus="$build/corpus/$name"
  crashes="$build/crashes/$name"
  log="$build/logs/$name.log"
  mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
  local seeds=()
  if [[ -d "tests/fuzz/corpus/$name" ]]; then seeds=("tests/fuzz/corpus/$name"); fi
  if [[ -d "$build/seeds/$name" ]]; then seeds+=("$build/seeds/$name"); fi
  # A target's own libFuzzer flags (NAME.options) and the leaks of the installed
  # library that are known and not ours (NAME.supp); the archive targets share
  # archive.options and archive.supp.
  shared="$name"
  if [[ "$name" == archive_*fuzz ]]; then shared=archive; fi
  local flags=()
  if [[ -f "tests/fuzz/$shared.options" ]]; then mapfile -t flags < <(grep -v -e '^#' -e '^$' "tests/fuzz/$shared.options"); fi
  lsan_options="${LSAN_OPTIONS:-}"
  if [[ -f "tests/fuzz/$shared.supp" ]]; then lsan_options="suppressions=$PWD/tests/fuzz/$shared.supp"; fi
  if ! LSAN_OPTIONS="$lsan_options" "$build/tests/fuzz/$name" -max_total_time="$seconds" -artifact_prefix="$crashes/" \
       "${flags[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $name failed; the input is in $crashes/, the whole output in $log" >&2
    return 1
  fi
  echo "== $name, $seconds s: $(grep -E '^Done [0-9]+ runs' "$log" || echo 'no summary')"
}

make_archive_seeds "$PWD/$build/seeds"
jobs_at_once="${FUZZ_JOBS:-$(nproc)}"
echo "== fuzzing ${#sources[@]} targets for $seconds s each, $jobs_at_once at once"
failed=0
running=0
for source in "${sources[@]}"; do
  if [[ ! -f "$source" ]]; then
    echo "fuzz: no target $source" >&2
    exit 2
  fi
  if ((running >= jobs_at_once)); then
    wait -n || failed=1
    running=$((running - 1))
  fi
  fuzz_target "$(basename "$source" .cpp)" &
  running=$((running + 1))
done
while ((running > 0)); do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
