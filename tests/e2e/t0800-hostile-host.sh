#!/usr/bin/env bash
# A host whose log tries to lead a download out of the working directory or
# onto the tool's own files, and a host whose files do not match its log:
# each bad entry is refused by name, nothing is written outside, and the
# good entries are still downloaded.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
LOG=$H/trosk/E/E_1/trosk_E.xml
OUT=$SCRATCH/outside
mkdir -p "$OUT"
TOKEN=$(b64 'alice:s3cret')

# Every entry first names a harmless file; the host log is then rewritten
# so that the stored copies would land where they must not.
workdir src
for n in good n1 n2 n3 n4 n5 n6 n7 n8 n9 n10 n11 last; do
  printf '%s data\n' "$n" >$n.txt
  stamp $n.txt '2024-01-10 10:00:00'
done
run -- E -source -host "$H" -add good.txt n1.txt n2.txt n3.txt n4.txt n5.txt n6.txt n7.txt n8.txt n9.txt n10.txt n11.txt last.txt -comment start
expect_rc 0
sed -i \
  -e "s#<name>n1.txt<#<name>$OUT/abs.txt<#" \
  -e 's#<name>n2.txt<#<name>../x.txt<#' \
  -e 's#<name>n3.txt<#<name>..\\x.txt<#' \
  -e "s#<name>n4.txt<#<name>ctl$(printf '\001')name.txt<#" \
  -e 's#<name>n5.txt<#<name>trosk_project.xml<#' \
  -e 's#<name>n6.txt<#<name>trosk_E.xml<#' \
  -e 's#<name>n7.txt<#<name>linked/evil.txt<#' \
  -e 's#<name>n8.txt<#<name>Trosk_bkup/n8.txt<#' \
  -e 's#<source>n9.txt_v1<#<source>../../../outside/n9.txt<#' \
  -e 's#<name>n10.txt<#<name>sub/../../y.txt<#' \
  -e 's#<name>n11.txt<#<name>leaf.txt<#' \
  "$LOG"
cp "$LOG" "$H/trosk/E/E_1/trosk_E_1.xml"
printf 'not yours\n' >"$OUT/target.txt"
stamp "$OUT/target.txt" '2023-01-01 01:01:01'

# check_refusals: the warnings and what was (not) written, in the current directory.
check_refusals() {
  expect_err "TROSK Warning -- Host entry refused (absolute path): $OUT/abs.txt"
  expect_err "TROSK Warning -- Host entry refused (parent directory step): ../x.txt"
  expect_err 'TROSK Warning -- Host entry refused (parent directory step): ..\x.txt'
  expect_err "TROSK Warning -- Host entry refused (control character): ctl?name.txt"
  expect_err "TROSK Warning -- Host entry refused (one of Trosk's own files): trosk_project.xml"
  expect_err "TROSK Warning -- Host entry refused (one of Trosk's own files): trosk_E.xml"
  expect_err "TROSK Warning -- Symbolic link in the way, file not updated: linked/evil.txt"
  expect_err "TROSK Warning -- Host entry refused (one of Trosk's own files): Trosk_bkup/n8.txt"
  expect_err "TROSK Warning -- Host entry refused (unsafe source): n9.txt"
  expect_err "TROSK Warning -- Host entry refused (parent directory step): sub/../../y.txt"
  expect_err "Update local file <leaf.txt> (y/n/AllYes/diff)? "
  expect_no_err "Confirm overwrite"
  expect_err "TROSK Warning -- Symbolic link in the way, file not updated: leaf.txt"
  expect_same good.txt "$SCRATCH/src/good.txt"
  expect_same last.txt "$SCRATCH/src/last.txt"
  expect_no_file "$OUT/abs.txt"
  expect_no_file "$OUT/evil.txt"
  expect_no_file "$OUT/n9.txt"
  expect_no_file ../x.txt
  expect_no_file ../y.txt
  expect_no_file '..\x.txt'
  expect_no_file Trosk_bkup/n8.txt
  expect_content "$OUT/target.txt" "not yours\n"
  if [ "$(ls -A "$OUT")" = target.txt ]; then pass; else fail "written outside: $(ls -A "$OUT")"; fi
  expect_no_grep "n6 data" trosk_E.xml
  expect_no_file trosk_project.xml
  expect_grep "<name>good.txt</name>" trosk_E.xml
  expect_no_grep "abs.txt" trosk_E.xml
  expect_no_grep "x.txt" trosk_E.xml
}

# hostile_workdir NAME: a working directory with a linked directory and a
# linked file leading outside.
hostile_workdir() {
  workdir "$1"
  ln -s "$OUT" linked
  ln -s "$OUT/target.txt" leaf.txt
}

test_case "hostile entries from a directory host"
hostile_workdir w1
run "y\ny\nn\nn\n" -- E -host "$H" -download
expect_rc 255
expect_err "TROSK error -- Files not updated:"
check_refusals
expect_no_file n9.txt

test_case "hostile entries over HTTP"
start_nginx "$H" alice s3cret
hostile_workdir w2
run "y\ny\nn\nn\n" -- E -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 255
check_refusals
expect_no_file n9.txt

test_case "a status run refuses them too, and writes nothing"
run "n\n" -- E -host "$H" -status
expect_rc 0
expect_err "TROSK Warning -- Host entry refused (absolute path): $OUT/abs.txt"
expect_line "   Missing: linked/evil.txt            8  1/10/24 10:00:00"
expect_line "       Old: leaf.txt                   9  1/10/24 10:00:00 >      10  1/01/23  1:01:01"
expect_line " Total of 2 files to update."
expect_content "$OUT/target.txt" "not yours\n"

# A host whose stored copies do not match what its log records.
H2=$(make_host host2)
workdir src2
printf 'same size A\n' >same.txt
printf 'short\n' >size.txt
printf 'fine\n' >fine.txt
for f in same.txt size.txt fine.txt; do stamp $f '2024-01-10 10:00:00'; done
run -- M -source -host "$H2" -add same.txt size.txt fine.txt -comment start
expect_rc 0
workdir m1
run "y\nn\n" -- M -host "$H2" -download
expect_rc 0
expect_content same.txt "same size A\n"
cd "$SCRATCH/src2"
printf 'same size B\n' >same.txt
printf 'longer now\n' >size.txt
printf 'fine, too\n' >fine.txt
for f in same.txt size.txt fine.txt; do stamp $f '2024-02-02 10:00:00'; done
run -- M -source -host "$H2" -add same.txt size.txt fine.txt -subversion 2 -comment second
expect_rc 0
printf 'same size C\n' >"$H2/trosk/M/M_1/same.txt_v2"
printf 'longer now, and more\n' >"$H2/trosk/M/M_1/size.txt_v2"

# make_older FILE...: local copies dated before the host's, so that no
# older-version confirmation is asked.
make_older() {
  local f
  for f in "$@"; do stamp $f '2023-01-01 01:01:01'; done
}

test_case "host copies that differ from the log leave the old files"
cd "$SCRATCH/m1"
make_older same.txt size.txt fine.txt
run "A\n" -- M -host "$H2" -download
expect_rc 255
expect_line " 2 of the files to update were not updated (see above)."
expect_err "TROSK error -- Files not updated: 2"
expect_err "TROSK Warning -- Download does not match the host log, local file kept: same.txt"
expect_err "TROSK Warning -- Download does not match the host log, local file kept: size.txt"
expect_content same.txt "same size A\n"
expect_content size.txt "short\n"
expect_no_err "Confirm overwrite"
expect_same fine.txt "$SCRATCH/src2/fine.txt"
ls -A | grep -q '\.trosk-' && fail "temporary download left behind" || pass

test_case "and over HTTP"
workdir m2
run "y\nn\n" -- M -host "$H2" -download -version 1/1
expect_rc 0
make_older same.txt size.txt fine.txt
start_nginx "$H2" alice s3cret
run "A\n" -- M -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 255
expect_err "TROSK Warning -- Download does not match the host log, local file kept: same.txt"
expect_err "TROSK Warning -- Download does not match the host log, local file kept: size.txt"
expect_content same.txt "same size A\n"
expect_content size.txt "short\n"
expect_content fine.txt "fine, too\n"

test_case "a first download of a mismatched file writes nothing"
workdir m3
run "y\nn\n" -- M -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 255
expect_err "TROSK Warning -- Download does not match the host log, local file kept: same.txt"
expect_no_file same.txt
expect_no_file size.txt
expect_content fine.txt "fine, too\n"
expect_grep "<status>missing</status>" trosk_M.xml

test_case "a stored copy missing from the host ends the download"
H3=$(make_host host3)
workdir src3
printf 'one\n' >one.txt
printf 'two\n' >two.txt
printf 'three\n' >three.txt
run -- D -source -host "$H3" -add one.txt two.txt three.txt -comment start
expect_rc 0
rm "$H3/trosk/D/D_1/two.txt_v1"
workdir d1
run "y\nn\n" -- D -host "$H3" -download
expect_rc 255
expect_err "TROSK error -- download unsuccessful"
expect_no_file one.txt  # a download that ends in an error leaves the files as they were
expect_no_file two.txt
expect_no_file three.txt
ls -A | grep -q '\.trosk-' && fail "temporary download left behind" || pass

finish
