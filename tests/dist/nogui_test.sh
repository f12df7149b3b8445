#!/usr/bin/env bash
# The command line built alone (-DTROSK_GUI=OFF): the configuration looks
# for no Qt, the program runs, and the packages made from that build hold the
# command line only.
# nogui_test.sh SOURCE_DIR VERSION
. "$(dirname "$0")/lib.sh"
source=$1 version=$2
build=$SCRATCH/build

if ! cmake -S "$source" -B "$build" -G Ninja -DTROSK_GUI=OFF >"$SCRATCH/cmake.log" 2>&1 ||
   ! cmake --build "$build" --target trosk -j "$(nproc)" >"$SCRATCH/build.log" 2>&1; then
  tail -30 "$SCRATCH"/*.log >&2
  fail "the build without the desktop program failed"
  finish
fi
grep -q '^Qt6' "$build/CMakeCache.txt" && fail "the configuration looked for Qt"
ldd "$build/src/trosk" | grep -qi qt && fail "trosk links Qt"
(cd "$SCRATCH" && "$build/src/trosk" -help >/dev/null) || fail "trosk -help failed"
TROSK_BIN=$build/src/trosk bash "$(dirname "$0")/packages_test.sh" "$build" "$version" 0 ||
  fail "the packages of the command line alone"
finish
