#!/usr/bin/env bash
# The whole test suite: a normal build and an AddressSanitizer +
# UndefinedBehaviorSanitizer build, each with every test; then the fuzz
# targets for a bounded number of inputs when clang is available.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

for kind in normal asan; do
  bash scripts/setup.sh "$kind"
  dir=build; [ "$kind" = asan ] && dir=build-asan
  echo "== tests ($kind build)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
done

if command -v clang++ >/dev/null && [ -d fuzz ] && ls fuzz/*_fuzz.cc >/dev/null 2>&1; then
  echo "== fuzz targets"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTROSK_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-fuzz -j "$jobs"
  for target in "$PWD"/build-fuzz/fuzz/*_fuzz; do
    name=$(basename "$target")
    work=$(mktemp -d)  # a scratch corpus: the fuzzer adds the inputs it finds to it
    mkdir "$work/corpus"
    cp fuzz/corpus/"${name%_fuzz}"/* "$work/corpus"/ 2>/dev/null || true
    (cd "$work" && "$target" -runs=20000 -max_len=65536 corpus)
    rm -rf "$work"
  done
fi
echo "All tests passed."
