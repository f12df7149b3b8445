#!/usr/bin/env bash
# Downloads from a directory host and over HTTP with Basic authorisation:
# first download, the questions and their answers, backups, the large-file
# and older-file confirmations, and downloads of a chosen version.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
OLD='2024-01-10 10:00:00'
TOKEN=$(b64 'alice:s3cret')

# The source of the project: text, a binary, a nested file and one large file.
workdir src
for f in a b c d; do
  printf 'file %s\nsecond line\n' "$f" >$f.txt
done
mkdir -p sub/deep
printf 'nested\n' >sub/deep/e.txt
printf '\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x01\x02\x03\xff' >logo.png
head -c 2100000 /dev/urandom >big.dat
for f in a.txt b.txt c.txt d.txt sub/deep/e.txt logo.png big.dat; do stamp $f "$OLD"; done
run -- P -source -host "$H" -add a.txt b.txt c.txt d.txt sub/deep/e.txt logo.png big.dat -comment start
expect_rc 0

# same_as_source FILE...: each file equals the source's copy.
same_as_source() {
  local f
  for f in "$@"; do expect_same "$f" "$SCRATCH/src/$f"; done
}
ALL="a.txt b.txt c.txt d.txt sub/deep/e.txt logo.png big.dat"

test_case "first download from a directory host"
workdir w1
run "y\ny\nn\n" -- P -host "$H" -download
expect_rc 0
expect_err "Local project log not found. Create new? (y/n): "
expect_err "Confirm update of large file big.dat (2 Mb) (y/n)? "
expect_no_err "Update local file"
expect_out "Verifying P V=1/1 (Entries: 8, Flag: "
expect_line "Look for ZIP archive files: unsuccessful"
expect_line "Updating project file:"
expect_line "   trosk_P.xml"
expect_tmp_is_out
same_as_source $ALL
expect_file trosk_P.xml
expect_grep "<name>sub/deep/e.txt</name>" trosk_P.xml
expect_grep "<subversion>1</subversion>" trosk_P.xml
expect_content troskversion.txt "1/1\n"
expect_grep "  V= 1/1  U= " trosk_P_log.txt
expect_grep "Update download:" trosk_P_log.txt
expect_grep "  a.txt  b.txt  c.txt  d.txt  sub/deep/e.txt  logo.png  big.dat" trosk_P_log.txt
expect_no_file Trosk_bkup
expect_no_file trosk_project.xml
ls -A | grep -q '\.trosk-' && fail "temporary download left behind" || pass

test_case "a second download finds nothing to do"
run "n\n" -- P -host "$H" -download
expect_rc 0
expect_no_err "Update local file"
expect_no_out "Updating project file:"
run "n\n" -- P -host "$H" -status
expect_line " All files up-to-date (P)."

test_case "-status 4 keeps the local log and the list hidden"
workdir hidden
run "y\nn\ny\n" -- P -host "$H" -download -status 4
expect_rc 0
expect_line "   .trosk_P.xml"
expect_line "   Missing: a.txt                     19  1/10/24 10:00:00"
expect_err "Save local settings in: .trosk_project.xml (y/n)? "
expect_file .trosk_P.xml
expect_no_file trosk_P.xml
expect_file .trosk_project.xml
same_as_source a.txt sub/deep/e.txt logo.png
expect_no_file big.dat
run "" --
expect_rc 0
expect_no_err "Local project log not found"
expect_out "Have= 1/1  Want= 1/0"
expect_line "   Missing: big.dat              2100000  1/10/24 10:00:00"

test_case "first download over HTTP with Basic authorisation"
start_nginx "$H" alice s3cret
workdir w2
run "y\ny\nn\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 0
expect_err "Confirm update of large file big.dat (2 Mb) (y/n)? "
expect_line "   trosk_P.xml"
same_as_source $ALL
expect_content troskversion.txt "1/1\n"

test_case "a wrong credential ends a download cleanly"
workdir w3
run "y\ny\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 'alice:bad')" -download
expect_rc 255
expect_err "TROSK error -- Error reading remote log file: /trosk/P/P_1/trosk_P.xml"
expect_no_file a.txt
expect_no_file trosk_P.xml
run "y\ny\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access 0 -download
expect_rc 255
expect_err "TROSK error -- Error reading remote log file: /trosk/P/P_1/trosk_P.xml"
expect_no_file a.txt

test_case "-prompt 0 asks only about the large file; n leaves it missing"
workdir w4
run "y\nn\nn\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -prompt 0 -download
expect_rc 0
expect_err "Local project log not found. Create new? (y/n): "
expect_err "Confirm update of large file big.dat (2 Mb) (y/n)? "
same_as_source a.txt b.txt c.txt d.txt sub/deep/e.txt logo.png
expect_no_file big.dat
run "n\n" -- P -host "$H" -status
expect_line "   Missing: big.dat              2100000  1/10/24 10:00:00"
expect_line " Total of 1 files to update."

# Local changes, all older than the host's copies: no older-file question.
change_local() {
  local f
  for f in "$@"; do
    printf 'local %s\n' "$f" >$f
    stamp $f '2023-05-05 05:05:05'
  done
}

test_case "y replaces, n keeps, end of input keeps"
cd "$SCRATCH/w1"
change_local a.txt b.txt c.txt d.txt
run "y\nn\n" -- P -host "$H" -download -backup
expect_rc 0
expect_err "Update local file <a.txt> (y/n/AllYes/diff)? "
expect_err "Update local file <b.txt> (y/n/AllYes/diff)? "
expect_err "Update local file <c.txt> (y/n/AllYes/diff)? "
expect_err "Update local file <d.txt> (y/n/AllYes/diff)? "
same_as_source a.txt
expect_content b.txt "local b.txt\n"
expect_content c.txt "local c.txt\n"
expect_content d.txt "local d.txt\n"
expect_content Trosk_bkup/a.txt "local a.txt\n"
expect_no_file Trosk_bkup/b.txt
expect_grep "<status>modified</status>" trosk_P.xml
run "n\n" -- P -host "$H" -status
expect_line " Total of 3 files to update."

test_case "d shows the differences, then asks again"
run "d\ny\nX\n" -- P -host "$H" -download -backup
expect_rc 0
expect_line "--- b.txt (local)"
expect_line "+++ b.txt (host)"
expect_line "-local b.txt"
expect_line "+file b"
expect_line "+second line"
expect_tmp_is_out
if [ "$(grep -o 'Update local file <b.txt>' <<<"$err" | wc -l)" = 2 ]; then pass; else fail "b.txt not asked twice: $err"; fi
expect_err "Update local file <c.txt> (y/n/AllYes/diff)? "
expect_no_err "Update local file <d.txt>"
same_as_source b.txt
expect_content c.txt "local c.txt\n"
expect_content d.txt "local d.txt\n"
expect_content Trosk_bkup/b.txt "local b.txt\n"
expect_no_file troskdiff.tmp

test_case "A answers yes for the rest of the run"
run "A\n" -- P -host "$H" -download
expect_rc 0
expect_err "Update local file <c.txt> (y/n/AllYes/diff)? "
expect_no_err "Update local file <d.txt>"
same_as_source c.txt d.txt
run "n\n" -- P -host "$H" -status
expect_line " All files up-to-date (P)."

test_case "Y is yes, N is no, an answer outside the letters is yes"
change_local a.txt b.txt c.txt
run "Y\nN\nq\n" -- P -host "$H" -download
expect_rc 0
same_as_source a.txt c.txt
expect_content b.txt "local b.txt\n"
run "y\n" -- P -host "$H" -download
expect_rc 0
same_as_source b.txt

test_case "an earlier backup is never overwritten"
change_local sub/deep/e.txt
run "y\n" -- P -host "$H" -download -backup
expect_rc 0
expect_content Trosk_bkup/sub/deep/e.txt "local sub/deep/e.txt\n"
printf 'second local\n' >sub/deep/e.txt
stamp sub/deep/e.txt '2023-05-05 05:05:05'
run "y\n" -- P -host "$H" -download -backup
expect_rc 0
expect_content Trosk_bkup/sub/deep/e.txt "local sub/deep/e.txt\n"
expect_content Trosk_bkup/sub/deep/e.txt.1 "second local\n"
same_as_source sub/deep/e.txt

test_case "-backup 0 makes no backup"
printf 'third local\n' >sub/deep/e.txt
stamp sub/deep/e.txt '2023-05-05 05:05:05'
run "y\n" -- P -host "$H" -download -backup 0
expect_rc 0
same_as_source sub/deep/e.txt
expect_no_file Trosk_bkup/sub/deep/e.txt.2
if grep -rqs 'third local' Trosk_bkup; then fail "backup made with -backup 0"; else pass; fi

test_case "a local file newer than the host's copy needs a confirmation"
printf 'newer local\n' >a.txt
stamp a.txt '2025-06-06 06:06:06'
run "y\nn\n" -- P -host "$H" -download
expect_rc 0
expect_err "Update local file <a.txt> (y/n/AllYes/diff)? "
expect_err "Confirm overwrite of a.txt with older version  (y/n AllYes)? "
expect_content a.txt "newer local\n"
run "y\ny\n" -- P -host "$H" -download
expect_rc 0
same_as_source a.txt

test_case "-prompt 0 replaces changed files without a question"
change_local a.txt b.txt
run "" -- P -host "$H" -download -prompt 0
expect_rc 0
expect_no_err "Update local file"
same_as_source a.txt b.txt

test_case "the large-file confirmation: n keeps, y replaces"
head -c 2100000 /dev/zero >big.dat
stamp big.dat '2023-05-05 05:05:05'
run "y\nn\n" -- P -host "$H" -download
expect_rc 0
expect_err "Update local file <big.dat> (y/n/AllYes/diff)? "
expect_err "Confirm update of large file big.dat (2 Mb) (y/n)? "
if cmp -s big.dat /dev/zero -n 2100000; then pass; else fail "big.dat replaced after n"; fi
run "y\ny\n" -- P -host "$H" -download
expect_rc 0
same_as_source big.dat

# Versions: 1/1 as added, 1/2 with a changed a.txt, 2/1 a new version.
cd "$SCRATCH/src"
printf 'file a\nthird line\n' >a.txt
stamp a.txt '2024-01-11 11:00:00'
run -- P -source -host "$H" -add a.txt -subversion 2 -comment sub2
expect_rc 0
cp a.txt "$SCRATCH/a-1-2"
printf 'version two\n' >a.txt
run -- P -source -host "$H" -init -version 2 -add a.txt -comment v2
expect_rc 0
cp a.txt "$SCRATCH/a-2"
printf 'file a\nsecond line\n' >"$SCRATCH/a-1-1"

test_case "-version V/S downloads that subversion"
workdir v11
run "y\ny\nn\n" -- P -host "$H" -download -version 1/1
expect_rc 0
expect_same a.txt "$SCRATCH/a-1-1"
expect_content troskversion.txt "1/1\n"
expect_grep "<subversion>1</subversion>" trosk_P.xml

test_case "the latest subversion by default"
workdir v12
run "y\ny\nn\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 0
expect_same a.txt "$SCRATCH/a-1-2"
expect_content troskversion.txt "1/2\n"
expect_grep "<subversion>2</subversion>" trosk_P.xml

test_case "-version V downloads another version"
workdir v2
run "y\ny\nn\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -download -version 2
expect_rc 0
expect_same a.txt "$SCRATCH/a-2"
expect_no_file b.txt
expect_grep "<pversion>2</pversion>" trosk_P.xml
expect_content troskversion.txt "2/1\n"

test_case "moving a working directory from 1/1 to the latest"
cd "$SCRATCH/v11"
run "n\n" -- P -host "$H" -status
expect_line "Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 1/1  Want= 1/0"
expect_out "     Newer: a.txt"
# What arrived at the first download is dated now, later than the host's copy.
run "y\ny\n" -- P -host "$H" -download
expect_rc 0
expect_err "Confirm overwrite of a.txt with older version  (y/n AllYes)? "
expect_same a.txt "$SCRATCH/a-1-2"
expect_content troskversion.txt "1/2\n"

test_case "a host text with its port"
workdir hp
run "y\ny\nn\n" -- P -host "http://127.0.0.1:$NGINX_PORT" -access "$TOKEN" -download
expect_rc 0
expect_same a.txt "$SCRATCH/a-1-2"
expect_same logo.png "$SCRATCH/src/logo.png"

finish
