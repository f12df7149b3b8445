#!/usr/bin/env bash
# An error in the middle of an add, an upload or a download ends the run
# with exit code 255 and leaves nothing behind: no stage file and no
# temporary file, in the working directory or on the host.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
P1=$H/trosk/P/P_1

# expect_clean DIR...: no stage file and no temporary file below the directories.
expect_clean() {
  local found
  found=$(find "$@" \( -name '*.trosk-*' -o -name stagefile.xml \) 2>&1)
  if [ -z "$found" ]; then pass; else fail "left behind: $found"; fi
}

workdir src
printf 'alpha\n' >a.txt
printf 'beta\n' >b.txt
run -- P -source -host "$H" -add a.txt b.txt -comment start
expect_rc 0

test_case "an add whose subversion copy cannot be written"
printf 'alpha, second\n' >a.txt
rm "$P1/trosk_P_1.xml"
mkdir "$P1/trosk_P_1.xml"
run -- P -source -host "$H" -add a.txt -comment again
expect_rc 255
expect_err "TROSK error -- Error writing file: $P1/trosk_P_1.xml"
expect_clean "$SCRATCH/src" "$H"
rmdir "$P1/trosk_P_1.xml"
cp "$P1/trosk_P.xml" "$P1/trosk_P_1.xml"

test_case "an upload whose subversion copy cannot be written"
printf 'beta, second\n' >b.txt
mkdir "$P1/trosk_P_2.xml"
run "A\n" -- P -source -host "$H" -upload -comment up
expect_rc 255
expect_err "TROSK error -- Error writing file: $P1/trosk_P_2.xml"
expect_clean "$SCRATCH/src" "$H"
rmdir "$P1/trosk_P_2.xml"

test_case "a download over HTTP that fails half-way"
start_nginx "$H"
rm "$P1/b.txt_v1"
workdir dst
run "y\n" -- P -host "127.0.0.1:$NGINX_PORT" -access 0 -version 1/1 -download
expect_rc 255
expect_err "TROSK error -- download unsuccessful"
expect_no_file a.txt
expect_no_file b.txt
expect_clean "$SCRATCH/dst"

finish
