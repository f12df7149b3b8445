#!/usr/bin/env bash
# Kills the program at every write, rename, sync and unlink point of an add,
# an upload and a download (the test command tries a sample of them) and
# checks that each leaves old-or-new files and that a second run completes
# it. Uses the build in build/ (scripts/setup.sh makes it).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
python3 "$top/tests/e2e/killpoints.py" "$top/build/src/trosk" "$scratch" --all
