#!/usr/bin/env bash
# Status runs against a directory host and over HTTP with Basic
# authorisation: header, one line per differing file, totals, the listing of
# unchanged files, and the question when there is no local log.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
OLD='2024-01-10 10:00:00'

workdir w
for f in a b c d e; do
  printf 'file %s\n' "$f" >$f.txt
  stamp $f.txt "$OLD"
done
run -- P -source -host "$H" -add a.txt b.txt c.txt d.txt e.txt -comment start
expect_rc 0

# Newer, older and same-stamp changes, a missing file, an unchanged one.
printf 'file a changed\n' >a.txt
stamp a.txt '2024-02-01 12:30:05'
printf 'file b changed\n' >b.txt
stamp b.txt '2023-12-01 08:00:00'
printf 'file c changed\n' >c.txt
stamp c.txt "$OLD"
rm d.txt
cp trosk_P.xml "$SCRATCH/log-before"

HEADER="    Status  FileName             Remote: Size&Date (M/D/Y)    Local: Size&Date (if different)"
NEWER="     Newer: a.txt                      7  1/10/24 10:00:00 >      15  2/01/24 12:30:05"
OLDER="       Old: b.txt                      7  1/10/24 10:00:00 >      15 12/01/23  8:00:00"
MODIFIED="  Modified: c.txt                      7  1/10/24 10:00:00 >      15  1/10/24 10:00:00"
MISSING="   Missing: d.txt                      7  1/10/24 10:00:00"
UNCHANGED=" Unchanged: e.txt                      7  1/10/24 10:00:00"

# check_status HOSTTEXT: the lines of a plain status run.
check_status() {
  expect_rc 0
  expect_line "Project: P     Host: $1"
  expect_line "Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 1/1  Want= 1/0"
  expect_out "Verifying P V=1/1 (Entries: 6, Flag: "
  expect_line "$HEADER"
  expect_line "$NEWER"
  expect_line "$OLDER"
  expect_line "$MODIFIED"
  expect_line "$MISSING"
  expect_no_out "Unchanged"
  expect_line " Total of 4 files to update."
  expect_same trosk_P.xml "$SCRATCH/log-before"
}

test_case "status on a directory host"
run "n\n" -- P -host "$H" -status
check_status "$H"
expect_tmp_is_out
expect_tmp_line "$NEWER"
expect_tmp_line " Total of 4 files to update."
expect_err "Save local settings in: trosk_project.xml (y/n)? "
expect_no_file trosk_project.xml
expect_no_file trosk_P_log.txt

test_case "a run without a command is a status run"
run "n\n" -- P -host "$H"
check_status "$H"

test_case "-status 1 lists unchanged files too"
run "n\n" -- P -host "$H" -status 1
expect_rc 0
expect_line " Local: Host=$H Port=80 User=<> Vf=<trosk_P.xml>"
expect_line "$UNCHANGED"
expect_line "$MISSING"
expect_line " Total of 4 files to update."
expect_same trosk_P.xml "$SCRATCH/log-before"

test_case "-status 2 reports the total only"
run "n\n" -- P -host "$H" -status 2
expect_rc 0
expect_no_out "Project: P"
expect_no_out "Verifying"
expect_no_out "Newer"
expect_line " Total of 4 files to update."

test_case "-dmy turns the dates round"
run "n\n" -- P -host "$H" -status -dmy
expect_rc 0
expect_line "    Status  FileName             Remote: Size&Date (D/M/Y)    Local: Size&Date (if different)"
expect_line "     Newer: a.txt                      7 10/01/24 10:00:00 >      15  1/02/24 12:30:05"

test_case "status over HTTP with Basic authorisation"
start_nginx "$H" alice 'open sesame'
run "n\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 'alice:open sesame')" -status
check_status 127.0.0.1

test_case "a wrong credential ends the run cleanly"
run "n\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 'alice:wrong')" -status
expect_rc 255
expect_err "TROSK error -- Error reading remote log file: /trosk/P/P_1/trosk_P.xml"
expect_no_out "Total of"
expect_same trosk_P.xml "$SCRATCH/log-before"

test_case "no credential (-access 0) is refused by the host"
run "n\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access 0 -status
expect_rc 255
expect_err "TROSK error -- Error reading remote log file: /trosk/P/P_1/trosk_P.xml"

test_case "a project the host does not have"
run "y\nn\n" -- NOPE -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 'alice:open sesame')" -status
expect_rc 255
expect_err "TROSK error -- Error reading remote log file: /trosk/NOPE/NOPE_1/trosk_NOPE.xml"
run "y\nn\n" -- NOPE -host "$H" -status
expect_rc 255
expect_err "TROSK error -- Error reading remote log file: /trosk/NOPE/NOPE_1/trosk_NOPE.xml"
expect_no_file trosk_NOPE.xml

test_case "the built-in credential is not this host's"
run "n\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -status
expect_rc 255
expect_err "TROSK error -- Error reading remote log file: /trosk/P/P_1/trosk_P.xml"

test_case "after the changes are restored everything is up to date"
for f in a b c d; do
  printf 'file %s\n' "$f" >$f.txt
  stamp $f.txt "$OLD"
done
run "n\n" -- P -host "$H" -status
expect_rc 0
expect_line " All files up-to-date (P)."
expect_no_out "$HEADER"
run "n\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 'alice:open sesame')" -status 1
expect_rc 0
expect_line "$UNCHANGED"
expect_line " All files up-to-date (P)."

test_case "no local log: n leaves everything as it was"
workdir fresh
run "n\n" -- P -host "$H" -status
expect_rc 0
expect_err "Local project log not found. Create new? (y/n): "
expect_no_out "Verifying"
expect_no_err "Save local settings"
expect_no_file trosk_P.xml
expect_no_file .trosk_P.xml
expect_no_file trosk_project.xml
run "" -- P -host "$H" -status
expect_rc 0
expect_err "Local project log not found. Create new? (y/n): "
expect_no_out "Verifying"
expect_no_file trosk_P.xml

test_case "no local log: y compares with an empty log, writing nothing"
run "y\nn\n" -- P -host "$H" -status
expect_rc 0
expect_tmp_is_out
expect_out "Verifying P V=1/1"
expect_line "Look for ZIP archive files: unsuccessful"
expect_lines 5 "   Missing: "
expect_line "   Missing: a.txt                      7  1/10/24 10:00:00"
expect_line " Total of 5 files to update."
expect_err "Save local settings in: trosk_project.xml (y/n)? "
expect_no_file trosk_P.xml
expect_no_file .trosk_P.xml
expect_no_file trosk_project.xml
expect_no_file a.txt

test_case "no local log over HTTP"
run "y\nn\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 'alice:open sesame')" -status
expect_rc 0
expect_line " Total of 5 files to update."
expect_no_file trosk_P.xml

finish
