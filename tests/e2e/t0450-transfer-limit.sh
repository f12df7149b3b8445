#!/usr/bin/env bash
# At most 400 files are transferred in one run: the status run says so, a
# download stops after 400 with one message, and the next run brings the rest;
# -maxfiles changes the limit for one run.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)

workdir src
names=()
for i in $(seq -w 1 401); do
  printf 'file %s\n' "$i" >f$i.txt
  names+=(f$i.txt)
done
run -- L -source -host "$H" -add "${names[@]}" -comment many
expect_rc 0

# count_files: the number of f*.txt files in the current directory.
count_files() { find . -maxdepth 1 -name 'f*.txt' | wc -l; }

test_case "status of 401 missing files"
workdir w1
run "y\nn\n" -- L -host "$H" -status
expect_rc 0
expect_lines 401 "   Missing: "
expect_line " Lots of files to update (401), only 400 will be transferred at a time"

test_case "a download stops after 400 files"
run "y\nn\n" -- L -host "$H" -download
expect_rc 0
expect_lines 1 "Too many files (>400) -- update halted"
[ "$(count_files)" = 400 ] && pass || fail "$(count_files) files downloaded"
expect_no_file f401.txt
expect_line "   trosk_L.xml"

test_case "the next download brings the rest"
run "n\n" -- L -host "$H" -download
expect_rc 0
expect_no_out "Too many files"
expect_same f401.txt "$SCRATCH/src/f401.txt"
[ "$(count_files)" = 401 ] && pass || fail "$(count_files) files downloaded"
run "n\n" -- L -host "$H" -status
expect_line " All files up-to-date (L)."

test_case "-maxfiles sets the limit for one run, 0 lifts it"
workdir w3
run "y\nn\n" -- L -host "$H" -status -maxfiles 0
expect_line " Total of 401 files to update."
run "y\nn\n" -- L -host "$H" -download -maxfiles 2
expect_rc 0
expect_lines 1 "Too many files (>2) -- update halted"
[ "$(count_files)" = 2 ] && pass || fail "$(count_files) files downloaded"
run "n\n" -- L -host "$H" -download -maxfiles 0
expect_rc 0
expect_no_out "Too many files"
[ "$(count_files)" = 401 ] && pass || fail "$(count_files) files downloaded"
run "n\n" -- L -host "$H" -status
expect_line " All files up-to-date (L)."

test_case "the same over HTTP on one connection"
start_nginx "$H" alice s3cret
workdir w2
run "y\nn\n" -- L -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 alice:s3cret)" -download
expect_rc 0
expect_lines 1 "Too many files (>400) -- update halted"
[ "$(count_files)" = 400 ] && pass || fail "$(count_files) files downloaded"
run "n\n" -- L -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 alice:s3cret)" -download
expect_rc 0
[ "$(count_files)" = 401 ] && pass || fail "$(count_files) files downloaded"
if diff -rq --exclude='trosk_*' --exclude='troskversion.txt' . "$SCRATCH/src" >/dev/null; then pass; else fail "downloaded files differ"; fi

finish
