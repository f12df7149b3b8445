#!/usr/bin/env bash
# File names that are awkward in paths and in web addresses: blanks, '%',
# '#', '?', '+', non-ASCII letters, nested directories with blanks. They
# travel like any other name, to and from a directory host and over HTTP.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
TOKEN=$(b64 'alice:s3cret')
NAMES=('my file.txt' '100%.txt' 'a#b.txt' 'what?.txt' 'plus+x.txt' 'ünïcödé.txt' 'my dir/x y.txt' 'semi;colon.txt')

workdir src
mkdir 'my dir'
for n in "${NAMES[@]}"; do printf 'content of %s\n' "$n" >"$n"; done
run -- N -source -host "$H" -add "${NAMES[@]}" -comment names
expect_rc 0

test_case "stored on the host under their own names"
expect_file "$H/trosk/N/N_1/my file.txt_v1"
expect_file "$H/trosk/N/N_1/x y.txt_v1"
expect_file "$H/trosk/N/N_1/100%.txt_v1"
expect_grep "<name>my dir/x y.txt</name>" "$H/trosk/N/N_1/trosk_N.xml"

# all_same: every name equals its source.
all_same() {
  local n
  for n in "${NAMES[@]}"; do expect_same "$n" "$SCRATCH/src/$n"; done
}

test_case "downloaded from a directory host"
workdir w1
run "y\nn\n" -- N -host "$H" -download
expect_rc 0
all_same

test_case "downloaded over HTTP"
start_nginx "$H" alice s3cret
workdir w2
run "y\nn\n" -- N -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 0
expect_no_err "TROSK error"
all_same

test_case "status over HTTP"
cd "$SCRATCH/w1"
run "n\n" -- N -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -status
expect_rc 0
expect_line " All files up-to-date (N)."

test_case "uploaded and fetched again"
cd "$SCRATCH/src"
printf 'changed\n' >'my dir/x y.txt'
run "n\n" -- N -source -host "$H" -prompt 0 -upload -comment blank
expect_rc 0
expect_same 'my dir/x y.txt' "$H/trosk/N/N_1/x y.txt_v2"
cd "$SCRATCH/w1"
run "y\n" -- N -host "$H" -download
expect_rc 0
expect_same 'my dir/x y.txt' "$SCRATCH/src/my dir/x y.txt"
cd "$SCRATCH/w2"
run "y\ny\n" -- N -host 127.0.0.1 -port "$NGINX_PORT" -access "$TOKEN" -download
expect_rc 0
expect_same 'my dir/x y.txt' "$SCRATCH/src/my dir/x y.txt"

finish
