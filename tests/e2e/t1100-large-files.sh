#!/usr/bin/env bash
# Files of 2 GiB and more keep their exact size through add, status and
# download, and ask the large-file question.
. "$(dirname "$0")/lib.sh"

# The file is sparse, but the host copy and the download are real bytes.
free_kib=$(df -Pk "$SCRATCH" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt $((8 * 1024 * 1024)) ]; then
  echo "skipped: fewer than 8 GiB free in $SCRATCH"
  finish
  exit
fi

H=$(make_host host)
SIZE=2684354560  # 2.5 GiB

test_case "add records the exact size"
workdir src
truncate -s $SIZE big.bin
printf 'end' | dd of=big.bin bs=1 seek=$((SIZE - 3)) conv=notrunc status=none
run -- P -source -host "$H" -decode -add big.bin -comment big
expect_rc 0
expect_grep "<size>$SIZE</size>" "$H/trosk/P/P_1/trosk_P.xml"

test_case "status lists it with its size"
workdir dst
run "y\n" -- P -host "$H" -status 1
expect_rc 0
expect_out "$SIZE"

test_case "download asks the large-file question and brings it whole"
run "y\ny\n" -- P -host "$H" -download
expect_rc 0
expect_err "Confirm update of large file big.bin (2684 Mb) (y/n)? "
expect_same "$SCRATCH/src/big.bin" big.bin
rm -f big.bin "$SCRATCH/src/big.bin" "$H"/trosk/P/P_1/big.bin_v*

finish
