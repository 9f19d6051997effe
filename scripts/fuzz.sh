#!/usr/bin/env bash
# Builds every fuzz target (tests/fuzz/*_fuzz.cpp) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz, then runs each
# target in turn for SECONDS seconds (each target gets the full time):
#   fuzz.sh SECONDS
# A target starts from the inputs in tests/fuzz/corpus/NAME (hand-made seeds and
# past crashes), its corpus grows in build-fuzz/corpus/NAME across runs, its
# output goes to build-fuzz/logs/NAME.log, and an input that crashes it is kept
# in build-fuzz/crashes/NAME/. The script fails at the first crash.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-}"
if [[ ! "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: fuzz.sh SECONDS" >&2
  exit 2
fi

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORSEL_SANITIZE=ON -DVORSEL_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target vorsel_fuzz

shopt -s nullglob
sources=(tests/fuzz/*_fuzz.cpp)
if ((${#sources[@]} == 0)); then
  echo "fuzz: no targets in tests/fuzz" >&2
  exit 1
fi

for source in "${sources[@]}"; do
  name="$(basename "$source" .cpp)"
  corpus="$build/corpus/$name"
  crashes="$build/crashes/$name"
  log="$build/logs/$name.log"
  mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
  seeds=()
  if [[ -d "tests/fuzz/corpus/$name" ]]; then seeds=("tests/fuzz/corpus/$name"); fi
  echo "== fuzzing $name for $seconds s"
  if ! "$build/tests/fuzz/$name" -max_total_time="$seconds" -artifact_prefix="$crashes/" \
       "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $name failed; the input is in $crashes/, the whole output in $log" >&2
    exit 1
  fi
  grep -E '^Done [0-9]+ runs' "$log" || true
done
