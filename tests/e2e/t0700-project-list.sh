#!/usr/bin/env bash
# The project list: the question that saves it, saving without a question,
# and runs with no project named over every listed project.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
W=$(make_host webhost)
OLD='2024-01-10 10:00:00'
TOKEN=$(b64 'alice:s3cret')

# Four projects: one file each, P1, P3 and P4 on the directory host, P2 on the web host.
workdir src
for p in P1 P2 P3 P4; do
  printf '%s content\n' "$p" >$p.txt
  stamp $p.txt "$OLD"
  host=$H
  [ $p = P2 ] && host=$W
  run -- $p -source -host "$host" -add $p.txt -comment start
  expect_rc 0
done
# The web server serves the scratch directory: the host is a path below it.
start_nginx "$SCRATCH" alice s3cret
WEBHOST=http://127.0.0.1/webhost

test_case "no list, no project: the name is asked for; n does not save"
workdir ask
run "P1\ny\nn\n" -- -host "$H" -download
expect_rc 0
expect_err "Enter project name: "
expect_err "Save local settings in: trosk_project.xml (y/n)? "
expect_same P1.txt "$SCRATCH/src/P1.txt"
expect_no_file trosk_project.xml
expect_no_file .trosk_project.xml

test_case "y saves the list"
run "y\n" -- P1 -host "$H" -status
expect_rc 0
expect_err "Save local settings in: trosk_project.xml (y/n)? "
expect_content trosk_project.xml "<trosk>\n <project>\n  <name>P1</name>\n  <host>$H</host>\n </project>\n</trosk>\n"

test_case "a listed project needs neither host nor question"
run "" --
expect_rc 0
expect_no_err "Enter project name"
expect_no_err "Save local settings"
expect_line "Project: P1     Host: $H"
expect_line " All files up-to-date (P1)."

test_case "an answer of N or an empty answer does not save"
workdir ask2
run "y\nN\n" -- P3 -host "$H" -status
expect_rc 0
expect_no_file trosk_project.xml
run "y\n" -- P3 -host "$H" -status
expect_rc 0
expect_err "Save local settings in: trosk_project.xml (y/n)? "
expect_no_file trosk_project.xml

test_case "-init saves the list without a question"
workdir init
run "" -- P3 -host "$H" -init -status
expect_rc 0
expect_no_err "Local project log not found"
expect_no_err "Save local settings"
expect_out "Verifying P3 V=1/1"
expect_grep "<name>P3</name>" trosk_project.xml
expect_no_file .trosk_project.xml
expect_no_file trosk_P3.xml

test_case "-init with -status 4 saves the hidden list"
workdir hidden
run "" -- P3 -host "$H" -init -status 4
expect_rc 0
expect_no_err "Save local settings"
expect_grep "<name>P3</name>" .trosk_project.xml
expect_no_file trosk_project.xml

test_case "the hidden list is read back"
run "y\n" --
expect_rc 0
expect_no_err "Enter project name"
expect_line "Project: P3     Host: $H"

# One working directory that follows all three projects.
workdir multi
run "y\nn\n" -- P1 -host "$H" -download
expect_rc 0
run "y\nn\n" -- P2 -host "$WEBHOST" -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 0
run "y\nn\n" -- P3 -host "$H" -download
expect_rc 0
for p in P1 P2 P3; do expect_same $p.txt "$SCRATCH/src/$p.txt"; done
printf '<trosk>\n <project>\n  <name>P1</name>\n  <host>%s</host>\n </project>\n <project>\n  <name>P2</name>\n  <host>%s</host>\n </project>\n <project>\n  <name>P3</name>\n  <host>%s</host>\n </project>\n</trosk>\n' "$H" "$WEBHOST" "$H" >trosk_project.xml
cp trosk_project.xml "$SCRATCH/list"
printf 'P2 changed here\n' >P2.txt
stamp P2.txt '2023-03-03 03:03:03'
rm P3.txt

test_case "no arguments: a status run over every listed project, in order"
run "" -- -port "$NGINX_PORT" -access "$TOKEN"
expect_rc 0
expect_no_err "Save local settings"
expect_no_err "Enter project name"
expect_line "Project: P1     Host: $H"
expect_line "Project: P2     Host: $WEBHOST"
expect_line "Project: P3     Host: $H"
if [ "$(grep -E '^Project: ' <<<"$out" | cut -c10-11 | tr -d '\n')" = "P1P2P3" ]; then pass; else fail "projects out of order: $out"; fi
expect_line " All files up-to-date (P1)."
expect_line "       Old: P2.txt                    11  1/10/24 10:00:00 >      16  3/03/23  3:03:03"
expect_line "   Missing: P3.txt                    11  1/10/24 10:00:00"
expect_lines 2 " Total of 1 files to update."
expect_same trosk_project.xml "$SCRATCH/list"

test_case "-verbose 1: one line per project and the performance log"
run "" -- -port "$NGINX_PORT" -access "$TOKEN" -verbose 1
expect_rc 0
expect_line "DoTrosk: P1 0"
expect_line "DoTrosk: P2 0"
expect_line "DoTrosk: P3 0"
expect_line "Performance log:"
expect_tmp_is_out
expect_out "host=<$WEBHOST> port=$NGINX_PORT tkdir=<trosk> project=<P2> want=1/0"

test_case "a download with no project named runs every project"
run "y\n" -- -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 0
expect_err "Update local file <P2.txt> (y/n/AllYes/diff)? "
for p in P1 P2 P3; do expect_same $p.txt "$SCRATCH/src/$p.txt"; done
expect_no_err "Save local settings"

test_case "-verify with several listed projects verifies the first only"
run "" -- -verify
expect_rc 0
expect_lines 1 "Verified local log file -- "
expect_line "Project: P1     Host: $H"
expect_no_out "Project: P2"

test_case "-version with no project named runs the first only"
run "" -- -version 1 -status
expect_rc 0
expect_line "Project: P1     Host: $H"
expect_no_out "Project: P2"
expect_no_out "Project: P3"

test_case "a name finds the first listed project it begins"
run "" -- p3 -status
expect_rc 0
expect_line "Project: P3     Host: $H"
expect_no_out "Project: P1"
expect_no_err "Save local settings"

test_case "a project not in the list is appended when saved"
run "y\ny\n" -- P4 -host "$H" -status
expect_rc 0
expect_err "Save local settings in: trosk_project.xml (y/n)? "
expect_grep "<name>P4</name>" trosk_project.xml
expect_grep "<name>P2</name>" trosk_project.xml
expect_grep "<host>$WEBHOST</host>" trosk_project.xml

test_case "listing every file still asks before a modified file is replaced"
workdir listall
run "y\ny\n" -- P3 -host "$H" -download
expect_rc 0
expect_file trosk_project.xml
printf 'a longer local edit\n' >P3.txt
run "n\n" -- P3 -download -V
expect_rc 0
expect_err "Update local file <P3.txt> (y/n/AllYes/diff)? "
expect_content P3.txt "a longer local edit\n"

finish
