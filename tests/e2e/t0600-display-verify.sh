#!/usr/bin/env bash
# The display commands (-show, -log, -dump), -verify, and the catalogue's
# checks: the program version a project needs and the users it admits.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
CAT=$H/trosk/P/current.xml
TOKEN=$(b64 'alice:s3cret')
OLD='2024-01-10 10:00:00'

workdir src
printf 'alpha\n' >a.txt
printf 'beta\n' >b.txt
stamp a.txt "$OLD"
stamp b.txt "$OLD"
run -- P -source -host "$H" -add a.txt b.txt -comment "first of all"
expect_rc 0
start_nginx "$H" alice s3cret
WEB=(-host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN")

test_case "-show prints the versions and the version log"
workdir w
run "" -- P -host "$H" -show
expect_rc 0
expect_line "Project: P     Host: $H"
expect_line "Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 0/0  Want= 1/0"
expect_line "Remote Log:"
expect_out "    1/1     Created new version -- first of all"
expect_tmp_line "Remote Log:"
expect_tmp_is_out
expect_no_err "Local project log not found"
expect_no_err "Save local settings"
expect_no_file trosk_P.xml
expect_no_file .trosk_P.xml

test_case "-show over HTTP with Basic authorisation"
run "" -- P "${WEB[@]}" -show
expect_rc 0
expect_line "Project: P     Host: 127.0.0.1"
expect_line "Remote Log:"
expect_out "    1/1     Created new version -- first of all"

test_case "-show with a wrong credential"
run "" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 alice:nope)" -show
expect_rc 255
expect_err "TROSK error -- Error reading file: /trosk/P/versionlog.txt"

test_case "-show without a version log"
mv "$H/trosk/P/versionlog.txt" "$SCRATCH/versionlog.txt"
run "" -- P -host "$H" -show
expect_rc 255
expect_err "TROSK error -- Error reading file: /trosk/P/versionlog.txt"
mv "$SCRATCH/versionlog.txt" "$H/trosk/P/versionlog.txt"

test_case "-log without an activity log"
run "" -- P -log
expect_rc 0
expect_line "File not found: trosk_P_log.txt"
expect_no_err "Save local settings"

test_case "-log shows the activity log"
run "y\nn\n" -- P "${WEB[@]}" -download
expect_rc 0
expect_file trosk_P_log.txt
run "" -- P -log
expect_rc 0
expect_out "  V= 1/1  U= "
expect_out "Update download:"
expect_line "  a.txt  b.txt"
expect_no_out "File not found"

test_case "-dump fetches the host's log into a local file"
run "" -- P -host "$H" -dump
expect_rc 0
expect_line "Host log written to: trosk_P_dump.xml"
expect_same trosk_P_dump.xml "$H/trosk/P/P_1/trosk_P.xml"
expect_no_err "Save local settings"
rm trosk_P_dump.xml
run "" -- P "${WEB[@]}" -dump
expect_rc 0
expect_line "Host log written to: trosk_P_dump.xml"
expect_same trosk_P_dump.xml "$H/trosk/P/P_1/trosk_P.xml"

test_case "-dump with -webhdr keeps the reply header"
run "" -- P "${WEB[@]}" -dump -webhdr
expect_rc 0
if head -1 trosk_P_dump.xml | grep -q '^HTTP/1\.[01] 200'; then pass; else fail "no reply header: $(head -1 trosk_P_dump.xml)"; fi
expect_grep "<name>a.txt</name>" trosk_P_dump.xml

test_case "-dump of a version the host lacks"
run "" -- P -host "$H" -dump -version 7
expect_rc 255
expect_err "TROSK error -- Error reading remote file: /trosk/P/P_7/trosk_P.xml"

test_case "-verify with nothing changed"
run "n\n" -- P -host "$H" -verify
expect_rc 0
expect_line "Verified local log file -- 0 entries updated"

test_case "-verify records local changes in the local log"
printf 'alpha, edited\n' >a.txt
stamp a.txt '2025-05-05 05:05:05'
run "n\n" -- P "${WEB[@]}" -verify
expect_rc 0
expect_line "Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 1/1  Want= 1/1"
expect_line "Verified local log file -- 1 entries updated"
expect_line "   trosk_P.xml"
expect_grep "<status>newer</status>" trosk_P.xml
expect_grep "<size>14</size>" trosk_P.xml
expect_err "Save local settings in: trosk_project.xml (y/n)? "

test_case "-verify when the host log cannot be read"
run "n\n" -- P -host "$SCRATCH/nohost" -verify
expect_rc 0
expect_line "Verify error reading remote log file: /trosk/P/P_1/trosk_P.xml"
expect_line "Verified local log file -- -1 entries updated"

test_case "a project that needs a later program"
cp "$CAT" "$SCRATCH/current.xml"
printf '<trosk>\n <project>\n  <pversion>1</pversion>\n  <troskversion>1.20</troskversion>\n </project>\n</trosk>\n' >"$CAT"
run "n\n" -- P -host "$H" -status
expect_rc 0
expect_err "TROSK Warning -- This project requires Trosk version 1.20"
expect_no_out "Verifying"
expect_no_err "Save local settings"
run "n\n" -- P "${WEB[@]}" -download
expect_rc 0
expect_err "TROSK Warning -- This project requires Trosk version 1.20"
expect_content a.txt "alpha, edited\n"
printf '<trosk>\n <project>\n  <pversion>1</pversion>\n  <troskversion>2</troskversion>\n </project>\n</trosk>\n' >"$CAT"
run "n\n" -- P -host "$H" -status
expect_err "TROSK Warning -- This project requires Trosk version 2"

test_case "a project that needs this program runs"
printf '<trosk>\n <project>\n  <pversion>1</pversion>\n  <troskversion>1.19</troskversion>\n </project>\n</trosk>\n' >"$CAT"
run "n\n" -- P -host "$H" -status
expect_rc 0
expect_no_err "requires Trosk version"
expect_out "Verifying P V=1/1"

test_case "a user the catalogue does not list is refused"
printf '<trosk>\n <project>\n  <user>bob</user>\n  <pversion>1</pversion>\n </project>\n</trosk>\n' >"$CAT"
run "n\n" -- P -host "$H" -user alice -status
expect_rc 0
expect_err "TROSK Warning -- Unauthorized user for project P -- Access denied"
expect_no_out "Verifying"
run "n\n" -- P "${WEB[@]}" -user alice -download
expect_rc 0
expect_err "TROSK Warning -- Unauthorized user for project P -- Access denied"
expect_content a.txt "alpha, edited\n"
run "n\n" -- P -host "$H" -show
expect_rc 0
expect_err "TROSK Warning -- Unauthorized user for project P -- Access denied"
expect_no_out "Remote Log:"

test_case "a listed user is admitted"
run "n\n" -- P -host "$H" -user bob -status
expect_rc 0
expect_no_err "Unauthorized"
expect_out "Verifying P V=1/1"
cp "$SCRATCH/current.xml" "$CAT"

test_case "-beta and -alpha pick the catalogue's versions"
cd "$SCRATCH/src"
printf 'alpha two\n' >a.txt
run -- P -source -host "$H" -init -version 2 -add a.txt -comment two
expect_rc 0
cd "$SCRATCH/w"
printf '<trosk>\n <project>\n  <pversion>1</pversion>\n  <beta>2</beta>\n </project>\n</trosk>\n' >"$CAT"
run "n\n" -- P -host "$H" -beta -status
expect_rc 0
expect_line "Current versions:  Stable= 1  Beta= 2  Alpha= 0, Have= 1/1  Want= 2/0"
run "n\n" -- P -host "$H" -alpha -status
expect_rc 255
expect_err "TROSK error -- can't identify requested version in remote file: /trosk/P/current.xml"

test_case "-platform picks the catalogue's section"
printf '<trosk>\n <project>\n  <platform>win</platform>\n  <pversion>1</pversion>\n </project>\n <project>\n  <platform>linux</platform>\n  <pversion>2</pversion>\n  <alpha>2</alpha>\n </project>\n</trosk>\n' >"$CAT"
run "n\n" -- P -host "$H" -platform linux -status
expect_rc 0
expect_line "Current versions:  Stable= 2  Beta= 0  Alpha= 2, Have= 1/1  Want= 2/0"
run "n\n" -- P -host "$H" -platform win -status
expect_rc 0
expect_line "Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 1/1  Want= 1/0"
run "n\n" -- P -host "$H" -status
expect_rc 0
expect_line "Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 1/1  Want= 1/0"

finish
