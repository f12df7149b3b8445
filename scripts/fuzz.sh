#!/usr/bin/env bash
# Runs fuzz targets for a given time each: fuzz.sh [TARGET...] SECONDS
# (targets by name, e.g. vtp or vtp_fuzz; all of fuzz/ when none is named).
# Builds build-fuzz with clang first. Each target keeps its growing corpus in
# build-fuzz/corpus/NAME, seeded from fuzz/corpus/NAME, and a crashing input
# in build-fuzz/artifacts/. Prints the inputs each target ran.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ] || ! [[ ${!#} =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh [TARGET...] SECONDS" >&2
  exit 2
fi
seconds=${!#}
names=("${@:1:$#-1}")
if [ ${#names[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cc; do names+=("$(basename "$source" _fuzz.cc)"); done
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTROSK_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"

status=0
for name in "${names[@]}"; do
  name=${name%_fuzz}
  target=$PWD/build-fuzz/fuzz/${name}_fuzz
  [ -x "$target" ] || { echo "no fuzz target: $name" >&2; exit 2; }
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus" build-fuzz/artifacts
  cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
  log=build-fuzz/$name.log
  echo "== $name for $seconds s"
  if "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
      -artifact_prefix=build-fuzz/artifacts/"$name"- "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$name: $runs inputs, no finding"
  else
    status=1
    echo "$name: FINDING (see $log)"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|Test unit written)' "$log" || tail -20 "$log"
  fi
done
exit $status
