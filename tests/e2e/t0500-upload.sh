#!/usr/bin/env bash
# Uploads of changed files as a new subversion: the host logs and stored
# names, the version log, the questions, and downloads of the result.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
P1=$H/trosk/P/P_1
OLD='2024-01-10 10:00:00'

workdir src
printf 'alpha\n' >a.txt
printf 'beta\n' >b.txt
printf 'gamma\n' >c.txt
printf '\x01\x02\x03 binary\x00' >d.bin
for f in a.txt b.txt c.txt d.bin; do stamp $f "$OLD"; done
run -- P -source -host "$H" -add a.txt b.txt c.txt d.bin -comment start
expect_rc 0

test_case "nothing changed: no new subversion"
run "n\n" -- P -source -host "$H" -upload -comment idle
expect_rc 0
expect_no_err "Update remote file"
expect_no_file "$P1/trosk_P_2.xml"
expect_no_grep "Upload new subversion" "$H/trosk/P/versionlog.txt"
expect_grep "<subversion>1</subversion>" trosk_P.xml

test_case "upload makes subversion 2"
printf 'alpha, changed\n' >a.txt
printf 'gamma, changed\n' >c.txt
printf '\x01\x02\x03 binary, changed\x00' >d.bin
for f in a.txt c.txt d.bin; do stamp $f '2024-02-02 02:02:02'; done
cp "$P1/trosk_P_1.xml" "$SCRATCH/log-1"
run "y\nn\ny\nn\n" -- P -source -host "$H" -upload -comment second
expect_rc 0
expect_err "Update remote file <a.txt> (y/n/AllYes/diff)? "
expect_err "Update remote file <c.txt> (y/n/AllYes/diff)? "
expect_err "Update remote file <d.bin> (y/n/AllYes/diff)? "
expect_no_err "Update remote file <b.txt>"
expect_line "   $P1/trosk_P.xml ..."
expect_line "   $P1/trosk_P_2.xml ..."
expect_line "   trosk_P.xml"
expect_tmp_is_out
expect_same a.txt "$P1/a.txt_v2"
expect_no_file "$P1/c.txt_v2"
expect_file "$P1/d.bin.vtp_v2"
expect_same "$P1/trosk_P.xml" "$P1/trosk_P_2.xml"
expect_same "$P1/trosk_P_1.xml" "$SCRATCH/log-1"
expect_grep "<subversion>2</subversion>" "$P1/trosk_P.xml"
expect_grep "<source>a.txt_v2</source>" "$P1/trosk_P.xml"
expect_grep "<source>c.txt_v1</source>" "$P1/trosk_P.xml"
expect_grep "<source>d.bin.vtp_v2</source>" "$P1/trosk_P.xml"
expect_grep "    1/2     Upload new subversion -- second" "$H/trosk/P/versionlog.txt"
expect_grep "<subversion>2</subversion>" trosk_P.xml
expect_grep "Update upload:" trosk_P_log.txt
expect_grep "  a.txt  d.bin" trosk_P_log.txt
expect_content troskversion.txt "1/2\n"
expect_no_file stagefile.xml

test_case "the file kept back is still to upload"
run "n\n" -- P -source -host "$H" -status
expect_line "Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 1/2  Want= 1/0"
expect_out "     Newer: c.txt"
expect_line " Total of 1 files to update."

test_case "d shows what the upload would change, then asks again"
run "d\nn\nn\n" -- P -source -host "$H" -upload -comment none
expect_rc 0
expect_line "--- c.txt (host)"
expect_line "+++ c.txt (local)"
expect_line "-gamma"
expect_line "+gamma, changed"
if [ "$(grep -o 'Update remote file <c.txt>' <<<"$err" | wc -l)" = 2 ]; then pass; else fail "c.txt not asked twice: $err"; fi
expect_no_file "$P1/c.txt_v2"
expect_no_file "$P1/trosk_P_3.xml"
expect_no_file troskdiff.tmp

test_case "a subversion cannot be chosen for an upload"
run "n\n" -- P -source -host "$H" -upload -subversion 2 -comment no
expect_rc 255
expect_err "TROSK error -- can't specify subversion on upload"
run "n\n" -- P -source -host "$H" -upload -version 1/3 -comment no
expect_rc 255
expect_err "TROSK error -- can't specify subversion on upload"
expect_no_file "$P1/trosk_P_3.xml"

test_case "a project not marked source cannot upload"
run "n\n" -- P -source 0 -host "$H" -upload
expect_rc 255
expect_err "TROSK error -- Can only upload files from project 'source'"
expect_no_file "$P1/c.txt_v2"

test_case "a web host needs a direct path to upload"
run "n\n" -- P -source -host http://127.0.0.1:9/hosts -upload
expect_rc 255
expect_err "TROSK error -- Need direct local host path (-Host) to trosk dir to add files"

test_case "host2 takes the upload when the listed host is a web site"
printf '<trosk>\n <project>\n  <name>P</name>\n  <host>http://127.0.0.1:9/hosts</host>\n  <host2>%s</host2>\n  <status>source</status>\n </project>\n</trosk>\n' "$H" >trosk_project.xml
run "" -- P -prompt 0 -upload -comment third
expect_rc 0
expect_no_err "Update remote file"
expect_no_err "Save local settings"
expect_same c.txt "$P1/c.txt_v2"
expect_file "$P1/trosk_P_3.xml"
expect_grep "<subversion>3</subversion>" "$P1/trosk_P.xml"
expect_grep "    1/3     Upload new subversion -- third" "$H/trosk/P/versionlog.txt"
expect_content troskversion.txt "1/3\n"
rm trosk_project.xml

test_case "a missing local file is not uploaded"
rm b.txt
printf 'alpha, third\n' >a.txt
stamp a.txt '2024-03-03 03:03:03'
run "A\nn\n" -- P -source -host "$H" -upload -comment fourth
expect_rc 0
expect_no_err "Update remote file <b.txt>"
expect_same a.txt "$P1/a.txt_v3"
expect_grep "<source>b.txt_v1</source>" "$P1/trosk_P.xml"
expect_grep "<status>missing</status>" trosk_P.xml
printf 'beta\n' >b.txt
stamp b.txt "$OLD"

test_case "a download elsewhere brings the latest subversion"
workdir other
run "y\nn\n" -- P -host "$H" -download
expect_rc 0
for f in a.txt b.txt c.txt d.bin; do expect_same $f "$SCRATCH/src/$f"; done
expect_content troskversion.txt "1/4\n"
expect_grep "<subversion>4</subversion>" trosk_P.xml

test_case "and over HTTP with Basic authorisation"
start_nginx "$H" alice s3cret
workdir web
run "y\nn\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 alice:s3cret)" -download
expect_rc 0
for f in a.txt b.txt c.txt d.bin; do expect_same $f "$SCRATCH/src/$f"; done
expect_content troskversion.txt "1/4\n"

test_case "a download of subversion 2 brings what was uploaded then"
workdir sub2
run "y\nn\n" -- P -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 alice:s3cret)" -download -version 1/2
expect_rc 0
expect_content a.txt "alpha, changed\n"
expect_content c.txt "gamma\n"
expect_content troskversion.txt "1/2\n"

test_case "-localhost takes the upload when -host names a web site"
cd "$SCRATCH/src"
printf 'beta, changed\n' >b.txt
stamp b.txt '2024-04-04 04:04:04'
run "n\n" -- P -source -host 127.0.0.1 -port "$NGINX_PORT" -access "$(b64 alice:s3cret)" -localhost "$H" -prompt 0 -upload -comment fifth
expect_rc 0
expect_same b.txt "$P1/b.txt_v2"
expect_file "$P1/trosk_P_5.xml"
expect_grep "    1/5     Upload new subversion -- fifth" "$H/trosk/P/versionlog.txt"
expect_no_file 127.0.0.1
expect_content troskversion.txt "1/5\n"

finish
