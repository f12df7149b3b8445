#!/usr/bin/env bash
# kill -9 at write, rename, sync and unlink points of an add, an upload and
# a download: every file stays old or new, every log parses, and the same
# command run again ends as an uninterrupted run and leaves no temporary
# file. This runs a sample of the points; scripts/killpoints.sh runs them all.
. "$(dirname "$0")/lib.sh"

test_case "kill points"
if ! command -v strace >/dev/null; then
  fail "strace is missing (scripts/setup.sh installs it)"
elif python3 "$(dirname "$0")/killpoints.py" "$TROSK_BIN" "$SCRATCH"; then
  pass
else
  fail "see above"
fi

finish
