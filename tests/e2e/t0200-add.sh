#!/usr/bin/env bash
# Adding files to a directory host: the host layout, stored names, new
# versions and subversions, -current, and the refusals.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
P1=$H/trosk/P/P_1

test_case "a host without its trosk directory is refused"
mkdir -p "$SCRATCH/bare"
workdir w0
echo text >a.txt
run -- P -source -host "$SCRATCH/bare" -add a.txt -comment none
expect_rc 255
expect_err "TROSK error -- Trosk root directory <$SCRATCH/bare/trosk> not found"
expect_no_file "$SCRATCH/bare/trosk"
expect_no_file trosk_P.xml

test_case "first add builds the host layout"
workdir w1
printf 'hello\nworld\n' >a.txt
mkdir sub
printf 'int main() { return 0; }\n' >sub/b.c
printf '\x01\x02\x03PNG\x00\xff\xfe rest' >logo.png
run "first version\nn\n" -- P -source -host "$H" -add a.txt sub/b.c logo.png
expect_rc 0
expect_line "Make CURRENT V=1, Beta=0, Alpha=0 -1 0"
expect_err "Add comment: "
expect_err "Save local settings in: trosk_project.xml (y/n)? "
expect_tmp_line "Make CURRENT V=1, Beta=0, Alpha=0 -1 0"
expect_grep "<pversion>1</pversion>" "$H/trosk/P/current.xml"
expect_file "$P1/trosk_P.xml"
expect_file "$P1/trosk_P_1.xml"
expect_same "$P1/trosk_P.xml" "$P1/trosk_P_1.xml"
expect_same a.txt "$P1/a.txt_v1"
expect_same sub/b.c "$P1/b.c_v1"
expect_file "$P1/logo.png.vtp_v1"
expect_no_file "$P1/logo.png_v1"
if head -c 5 "$P1/logo.png.vtp_v1" | grep -q '^\[VTP '; then pass; else fail "binary not armoured"; fi
expect_grep "<subversion>1</subversion>" "$P1/trosk_P.xml"
expect_grep "<pversion>1</pversion>" "$P1/trosk_P.xml"
expect_grep "<name>sub/b.c</name>" "$P1/trosk_P.xml"
expect_grep "<source>b.c_v1</source>" "$P1/trosk_P.xml"
expect_grep "<source>logo.png.vtp_v1</source>" "$P1/trosk_P.xml"
expect_grep "<size>12</size>" "$P1/trosk_P.xml"
expect_grep "Created new version -- first version" "$H/trosk/P/versionlog.txt"
expect_grep "    1/1     Created new version" "$H/trosk/P/versionlog.txt"
expect_same trosk_P.xml "$P1/trosk_P.xml"
expect_no_file stagefile.xml
expect_no_file trosk_project.xml

test_case "an unchanged file is stored once"
run -- P -source -host "$H" -add a.txt -comment again
expect_rc 0
expect_no_out "Make CURRENT"
expect_no_file "$P1/a.txt_v2"
expect_grep "1/1     Added files -- again" "$H/trosk/P/versionlog.txt"
expect_grep "<source>a.txt_v1</source>" "$P1/trosk_P.xml"

test_case "a changed file gets the next stored name"
printf 'hello\nworld, again\n' >a.txt
run -- P -source -host "$H" -add a.txt -comment changed
expect_rc 0
expect_same a.txt "$P1/a.txt_v2"
expect_grep "<source>a.txt_v2</source>" "$P1/trosk_P.xml"
expect_no_grep "<source>a.txt_v1</source>" "$P1/trosk_P.xml"
expect_grep "<source>b.c_v1</source>" "$P1/trosk_P.xml"
if [ "$(cat "$P1/a.txt_v1")" = $'hello\nworld' ]; then pass; else fail "first stored copy changed"; fi

test_case "-decode stores a binary file as it is"
printf '\x00\x01binary two\x02' >raw.bin
run -- P -source -host "$H" -decode -add raw.bin -comment raw
expect_rc 0
expect_same raw.bin "$P1/raw.bin_v1"
expect_no_file "$P1/raw.bin.vtp_v1"

test_case "-status 1 lists every file added"
run -- P -source -host "$H" -status 1 -add a.txt -comment listed
expect_rc 0
expect_out "Adding: ${P1:0:36} 1 0 "
expect_out " 0.0 a.txt"

test_case "names outside the working directory are refused"
echo outside >"$SCRATCH/outside.txt"
run -- P -source -host "$H" -add "$SCRATCH/outside.txt" ../outside.txt -comment bad
expect_rc 0
expect_line "Refusing file outside the working directory: $SCRATCH/outside.txt"
expect_line "Refusing file outside the working directory: ../outside.txt"
expect_no_file "$P1/outside.txt_v1"
expect_no_grep "outside" "$P1/trosk_P.xml"

test_case "empty and missing files are skipped"
: >empty.txt
run -- P -source -host "$H" -add empty.txt nosuch.txt -comment skip
expect_rc 0
expect_line "Skipping empty/missing file: empty.txt"
expect_line "Skipping empty/missing file: nosuch.txt"
expect_no_file "$P1/empty.txt_v1"

test_case "a project not marked source cannot add"
run -- P -source 0 -host "$H" -add a.txt
expect_rc 255
expect_err "TROSK error -- Can only upload files from project 'source'"
workdir w2
echo x >a.txt
printf '<trosk>\n <project>\n  <name>P</name>\n  <host>%s</host>\n </project>\n</trosk>\n' "$H" >trosk_project.xml
run -- P -add a.txt
expect_rc 255
expect_err "TROSK error -- Can only upload files from project 'source'"
expect_no_file trosk_P.xml

test_case "a web host needs a direct path to add"
run -- Q -source -host http://127.0.0.1:9/hosts -add a.txt
expect_rc 255
expect_err "TROSK error -- Need direct local host path (-Host) to trosk dir to add files"
expect_no_file "$H/trosk/Q"

test_case "-localhost serves as the direct path"
workdir w3
echo local >l.txt
run "via host2\ny\n" -- Q -source -host http://127.0.0.1:9/hosts -localhost "$H" -add l.txt
expect_rc 0
expect_same l.txt "$H/trosk/Q/Q_1/l.txt_v1"
expect_grep "<host>http://127.0.0.1:9/hosts</host>" trosk_project.xml
expect_grep "<host2>$H</host2>" trosk_project.xml
expect_grep "<status>source</status>" trosk_project.xml

test_case "-init with a version makes a new version directory"
workdir w1b
cp "$SCRATCH/w1/a.txt" a.txt
echo v2 >new.txt
run -- P -source -host "$H" -init -version 2 -add a.txt new.txt -comment second
expect_rc 0
expect_no_err "Save local settings"
expect_grep "<name>P</name>" trosk_project.xml
expect_grep "<status>source</status>" trosk_project.xml
expect_same new.txt "$H/trosk/P/P_2/new.txt_v1"
expect_same a.txt "$H/trosk/P/P_2/a.txt_v1"
expect_grep "<pversion>2</pversion>" "$H/trosk/P/P_2/trosk_P.xml"
expect_grep "<subversion>1</subversion>" "$H/trosk/P/P_2/trosk_P.xml"
expect_grep "    2/1     Created new version -- second" "$H/trosk/P/versionlog.txt"
# The catalogue is left alone: version 1 stays the stable one.
expect_grep "<pversion>1</pversion>" "$H/trosk/P/current.xml"
expect_no_grep "<pversion>2</pversion>" "$H/trosk/P/current.xml"

test_case "-current without numbers keeps the catalogue's values"
run -- P -current -comment same
expect_rc 0
expect_line "Make CURRENT V=1, Beta=0, Alpha=0 1 0"
expect_grep "<pversion>1</pversion>" "$H/trosk/P/current.xml"

test_case "-current with numbers sets stable, beta and alpha"
run -- P -current 2 3 4 -comment promote
expect_rc 0
expect_line "Make CURRENT V=2, Beta=3, Alpha=4 1 0"
expect_grep "<pversion>2</pversion>" "$H/trosk/P/current.xml"
expect_grep "<beta>3</beta>" "$H/trosk/P/current.xml"
expect_grep "<alpha>4</alpha>" "$H/trosk/P/current.xml"
expect_no_grep "<pversion>1</pversion>" "$H/trosk/P/current.xml"
run -- P -current 2 -comment stable-only
expect_rc 0
expect_line "Make CURRENT V=2, Beta=3, Alpha=4 1 0"

test_case "the catalogue's users decide who may add"
R=$(make_host restricted)
mkdir -p "$R/trosk/S"
printf '<trosk>\n <project>\n  <user>bob</user>\n  <pversion>1</pversion>\n </project>\n</trosk>\n' >"$R/trosk/S/current.xml"
workdir w4
echo data >d.txt
run -- S -source -host "$R" -user alice -add d.txt -comment x
expect_rc 0
expect_err "TROSK Warning -- Unauthorized user for project S -- Access denied"
expect_no_file "$R/trosk/S/S_1"
expect_no_file trosk_S.xml
expect_no_err "Save local settings"
run -- S -source -host "$R" -user bob -add d.txt -comment y
expect_rc 0
expect_no_err "Unauthorized"
expect_same d.txt "$R/trosk/S/S_1/d.txt_v1"
printf '<trosk>\n <project>\n  <user>bob</user>\n  <user>anyone</user>\n </project>\n</trosk>\n' >"$R/trosk/S/current.xml"
echo data2 >d.txt
run -- S -source -host "$R" -user carol -add d.txt -comment z
expect_rc 0
expect_no_err "Unauthorized"
expect_same d.txt "$R/trosk/S/S_1/d.txt_v2"

test_case "hidden local log with -status 4"
workdir w5
echo h >h.txt
run -- H -source -host "$H" -status 4 -add h.txt -comment hidden
expect_rc 0
expect_file .trosk_H.xml
expect_no_file trosk_H.xml

finish
