#!/usr/bin/env bash
# What runs record, and in which order: the base an upload compares with
# when the working directory holds another version, a version-log line for
# every add, "troskversion.txt" only for a version reached, no local log for
# a project without files, and the add's lines.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
P1=$H/trosk/P/P_1

test_case "an upload to version 1 from a directory that made version 4 sees no change on the host"
workdir w1
echo a >a.txt
echo b >b.txt
run -- P -source -host "$H" -add a.txt b.txt -comment one
echo 'a, edited' >a.txt
run -- P -source -host "$H" -init -version 4 -add a.txt -comment v4
expect_rc 0
run -- P -source -host "$H" -upload -prompt 0 -comment up
expect_rc 0
expect_no_out "Changed on the host"
expect_no_err "Changed here and on the host"
expect_same a.txt "$P1/a.txt_v2"
expect_file "$P1/trosk_P_2.xml"
# Back at version 4, what the directory shared with it is still known.
echo 'a, again' >a.txt
run -- P -source -host "$H" -upload -version 4 -prompt 0 -comment up4
expect_rc 0
expect_no_out "Changed on the host"
expect_same a.txt "$H/trosk/P/P_4/a.txt_v2"

test_case "equal comments each get their line"
workdir w2
for f in x y z; do
  echo $f >$f.txt
  run -- Q -source -host "$H" -add $f.txt -comment fix
  expect_rc 0
done
run -- Q -source -host "$H" -current 1 -add x.txt -comment cur
run -- Q -source -host "$H" -current 1 -add x.txt -comment cur
expect_rc 0
log=$H/trosk/Q/versionlog.txt
if [ "$(grep -c -- '-- fix$' "$log")" = 3 ]; then pass; else fail "fix lines: $(cat "$log")"; fi
if [ "$(grep -c -- '-- cur$' "$log")" = 2 ]; then pass; else fail "cur lines: $(cat "$log")"; fi

test_case "the stamp names only a version reached with files moved"
workdir w3
run "y\nn\n" -- Q -host "$H" -download
expect_rc 0
expect_content troskversion.txt "1/1\n"
echo stale >troskversion.txt
run -- Q -host "$H" -download
expect_rc 0
expect_content troskversion.txt "stale\n"
rm y.txt
printf 'Y\n' >"$H/trosk/Q/Q_1/y.txt_v1"  # other bytes than its entry records
run -- Q -host "$H" -download -prompt 0
expect_err "Files not updated: 1"
expect_content troskversion.txt "stale\n"
expect_no_file .trosk-stamp-Q

test_case "a project without files downloaded into a fresh directory leaves no local log"
workdir w4
: >empty.txt
run -- E -source -host "$H" -init -add empty.txt -comment none
expect_rc 0
workdir w5
run "y\nn\n" -- E -host "$H" -download
expect_rc 0
expect_no_file trosk_E.xml
expect_no_file troskversion.txt
run "y\nn\n" -- E -host "$H" -status
expect_line "Current versions:  Stable= 1  Beta= 0  Alpha= 0, Have= 0/0  Want= 1/0"
expect_err "Local project log not found. Create new? (y/n): "

test_case "the catalogue's lines come before the files'"
workdir w6
echo n >n.txt
: >empty.txt
run -- N -source -host "$H" -status 1 -add empty.txt ../outside.txt n.txt -comment order
expect_rc 0
words='^(Make CURRENT|Create new CURRENT|Skipping|Refusing|Adding:)'
expected="Make CURRENT|Create new CURRENT|Skipping|Refusing|Adding:|"
order=$(grep -oE "$words" <<<"$out" | tr '\n' '|')
if [ "$order" = "$expected" ]; then pass; else fail "order on the output: $order"; fi
order=$(grep -oE "$words" trosk_tmp.txt | tr '\n' '|')
if [ "$order" = "$expected" ]; then pass; else fail "order in trosk_tmp.txt: $order"; fi

finish
