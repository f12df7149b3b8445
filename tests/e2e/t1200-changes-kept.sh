#!/usr/bin/env bash
# What the host and the working directory hold is never lost to an upload
# that did not make the change, to an edit in the same second as the run
# that recorded the file, to text that looks like armour, or to a file's
# mode; numbers at the top of their range end the run instead of wrapping.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
T='2024-05-05 05:05:05'

workdir a
printf 'shared one\n' >s.txt
printf 'remote one\n' >r.txt
printf 'common one\n' >c.txt
run -- P -source -host "$H" -add s.txt r.txt c.txt -comment start
expect_rc 0
workdir b
run "y\nA\n" -- P -source -host "$H" -download
expect_rc 0

test_case "an upload does not send back a file that only changed on the host"
cd "$SCRATCH/a"
printf 'shared two\n' >s.txt
printf 'common, by a\n' >c.txt
run -- P -source -host "$H" -upload -prompt 0 -comment "a's change"
expect_rc 0
cd "$SCRATCH/b"
printf 'remote, by b\n' >r.txt
printf 'common, by b\n' >c.txt
run -- P -upload -prompt 0 -comment "b's change"
expect_rc 0
expect_line "Changed on the host, download it first: s.txt"
expect_err "TROSK Warning -- Changed here and on the host, not uploaded: c.txt"
log=$H/trosk/P/P_1/trosk_P.xml
expect_same "$H/trosk/P/P_1/$(sed -n '/<name>s.txt</,/<\/file>/s/.*<source>\(.*\)<\/source>.*/\1/p' "$log")" "$SCRATCH/a/s.txt"
expect_same "$H/trosk/P/P_1/$(sed -n '/<name>r.txt</,/<\/file>/s/.*<source>\(.*\)<\/source>.*/\1/p' "$log")" r.txt
expect_same "$H/trosk/P/P_1/$(sed -n '/<name>c.txt</,/<\/file>/s/.*<source>\(.*\)<\/source>.*/\1/p' "$log")" "$SCRATCH/a/c.txt"

test_case "a change made on both sides is asked about, even after yes to all"
run "A\nn\n" -- P -upload -comment again
expect_rc 0
expect_err "Confirm overwrite of c.txt with older version  (y/n AllYes)? "
expect_no_err "Update remote file <s.txt>"

test_case "an edit in the same second as the run that recorded the file"
workdir e
printf 'aaaa\n' >f.txt
stamp f.txt "$T"
run -- E -source -host "$H" -add f.txt -comment one
expect_rc 0
stamp trosk_E.xml "$T"      # the log was written in that second too
printf 'bbbb\n' >f.txt      # same size, same stamp
stamp f.txt "$T"
run -- E -source -host "$H" -upload -prompt 0 -comment two
expect_rc 0
expect_content "$H/trosk/E/E_1/f.txt_v2" "bbbb\n"

test_case "text that begins like armour is stored in armour and comes back as it was"
workdir v
printf '[VTP NB=3 ENC=B64]\nnot armour at all\n' >v.txt
run -- V -source -host "$H" -add v.txt -comment armour
expect_rc 0
expect_file "$H/trosk/V/V_1/v.txt.vtp_v1"
workdir v2
run "y\nA\n" -- V -host "$H" -download
expect_rc 0
expect_same v.txt "$SCRATCH/v/v.txt"

test_case "such text stored raw by an earlier version downloads as stored"
VD=$H/trosk/V/V_1
printf '[VTP NB=3 ENC=B64]\nnot armour at all\n' >"$VD/v.txt_v1"
sed -i 's/v.txt.vtp_v1/v.txt_v1/' "$VD/trosk_V.xml" "$VD/trosk_V_1.xml"
workdir v3
run "y\nA\n" -- V -host "$H" -download
expect_rc 0
expect_same v.txt "$SCRATCH/v/v.txt"

test_case "an executable script stays executable through upload and download"
workdir x
printf '#!/bin/sh\necho one\n' >run.sh
chmod 755 run.sh
run -- X -source -host "$H" -add run.sh -comment script
expect_rc 0
workdir x2
run "y\nA\n" -- X -host "$H" -download
expect_rc 0
[ -x run.sh ] && pass || fail "a new file from an executable host copy is not executable"
cd "$SCRATCH/x"
printf '#!/bin/sh\necho two\n' >run.sh
run -- X -source -host "$H" -upload -prompt 0 -comment two
expect_rc 0
cd "$SCRATCH/x2"
chmod 750 run.sh
run "A\n" -- X -download
expect_rc 0
expect_content run.sh '#!/bin/sh\necho two\n'
[ "$(stat -c %a run.sh)" = 750 ] && pass || fail "mode $(stat -c %a run.sh), expected 750"

test_case "a subversion at the top of its range ends an upload"
cd "$SCRATCH/x"
XD=$H/trosk/X/X_1
sed -i 's#<subversion>[0-9]*</subversion>#<subversion>2147483647</subversion>#' "$XD/trosk_X.xml"
cp "$XD/trosk_X.xml" "$XD/trosk_X_2147483647.xml"
printf '#!/bin/sh\necho three\n' >run.sh
run -- X -source -host "$H" -upload -prompt 0 -comment three
expect_rc 255
expect_err "TROSK error -- Project X is at the last subversion there can be; no upload can follow"
expect_no_file "$XD/trosk_X_-2147483648.xml"

test_case "empty numbers in a host log read as absent"
workdir n
sed -i 's#<size>[0-9]*</size>#<size></size>#; s#<checksum>[-0-9]*</checksum>#<checksum></checksum>#' "$XD/trosk_X.xml"
run "y\nA\n" -- X -host "$H" -download
expect_rc 0
expect_file run.sh

finish
