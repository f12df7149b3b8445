#!/usr/bin/env bash
# A run that ends because a host file could not be fetched says why, on the
# line before its error: connection refused, host name not found, credential
# refused, no such file (a wrong host directory or project), a directory
# host that is not there, a full disk and a directory it may not write.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
LOG=/trosk/P/P_1/trosk_P.xml
workdir src
printf 'alpha\n' >a.txt
base64 -w 76 </dev/urandom | head -c 200000 >big.txt
run -- P -source -host "$H" -add a.txt big.txt -comment start
expect_rc 0

# fails_with CAUSE ERROR: the run ended with the cause line and then the error.
fails_with() {
  expect_rc 255
  expect_line "Cause: $1"
  expect_err "TROSK error -- $2"
}

test_case "connection refused"
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
workdir refused
run "y\n" -- P -host "127.0.0.1:$PORT" -access 0 -download
fails_with "connection refused by 127.0.0.1:$PORT" "Error reading remote log file: $LOG"

test_case "host name not found"
run "y\n" -- P -host "http://trosk-test.invalid:8080" -access 0 -download
expect_rc 255
expect_out "Cause: host name not found: trosk-test.invalid ("  # then the resolver's words
expect_err "TROSK error -- Error reading remote log file: $LOG"

test_case "credential refused"
start_nginx "$H" alice s3cret
run "y\n" -- P -host "127.0.0.1:$NGINX_PORT" -access "$(b64 'alice:wrong')" -download
fails_with "HTTP 401: 127.0.0.1:$NGINX_PORT refused the credential (see -access)" \
  "Error reading remote log file: $LOG"

test_case "a wrong host directory and a missing project"
GOOD=$(b64 'alice:s3cret')
run "y\n" -- P -host "http://127.0.0.1:$NGINX_PORT/elsewhere" -access "$GOOD" -download
fails_with "HTTP 404: no such file on the host: 127.0.0.1:$NGINX_PORT/elsewhere$LOG" \
  "Error reading remote log file: $LOG"
run "y\n" -- Q -host "127.0.0.1:$NGINX_PORT" -access "$GOOD" -download
fails_with "HTTP 404: no such file on the host: 127.0.0.1:$NGINX_PORT/trosk/Q/Q_1/trosk_Q.xml" \
  "Error reading remote log file: /trosk/Q/Q_1/trosk_Q.xml"
run -- P -host "127.0.0.1:$NGINX_PORT" -access "$GOOD" -show
expect_rc 0
mv "$H/trosk/P/versionlog.txt" "$H/trosk/P/versionlog.txt.keep"
run -- P -host "127.0.0.1:$NGINX_PORT" -access "$GOOD" -show
fails_with "HTTP 404: no such file on the host: 127.0.0.1:$NGINX_PORT/trosk/P/versionlog.txt" \
  "Error reading file: /trosk/P/versionlog.txt"
mv "$H/trosk/P/versionlog.txt.keep" "$H/trosk/P/versionlog.txt"

test_case "a directory host that is not there"
workdir nohost
run "y\n" -- P -host "$SCRATCH/nowhere" -download
fails_with "the host directory does not exist: $SCRATCH/nowhere" "Error reading remote log file: $LOG"

test_case "a full disk"
trap 'umount "$SCRATCH/full" "$SCRATCH/fullhost" 2>/dev/null; e2e_cleanup' EXIT
if [ "$(id -u)" = 0 ] && mkdir -p "$SCRATCH/full" && mount -t tmpfs -o size=64k tmpfs "$SCRATCH/full"; then
  cd "$SCRATCH/full"
  run "y\ny\n" -- P -host "$H" -download
  fails_with "cannot store $H/trosk/P/P_1/big.txt_v1 in the working directory: No space left on device" \
    "download unsuccessful"
  ls -A | grep -q '\.trosk-' && fail "temporary download left behind" || pass
  cd "$SCRATCH"
  umount "$SCRATCH/full"
else
  echo "skipped: a full disk (needs root to mount a small file system)"
fi

test_case "a full host"
if [ "$(id -u)" = 0 ] && mkdir -p "$SCRATCH/fullhost" &&
   mount -t tmpfs -o size=64k tmpfs "$SCRATCH/fullhost"; then
  mkdir "$SCRATCH/fullhost/trosk"
  workdir fullsrc
  head -c 200000 /dev/urandom >big.bin
  run -- F -source -host "$SCRATCH/fullhost" -add big.bin -comment full
  stored=$(ls "$SCRATCH/fullhost/trosk/F/F_1" 2>/dev/null)
  fails_with "cannot write $SCRATCH/fullhost/trosk/F/F_1/big.bin.vtp: No space left on device" \
    "copying file: $SCRATCH/fullhost/trosk/F/F_1/big.bin.vtp"
  [ -z "$stored" ] && pass || fail "left on the full host: $stored"
  cd "$SCRATCH"
  umount "$SCRATCH/fullhost"
else
  echo "skipped: a full host (needs root to mount a small file system)"
fi

test_case "a working directory that may not be written"
workdir locked
REAL_BIN=$TROSK_BIN
if [ "$(id -u)" != 0 ]; then
  chmod 555 .
elif setpriv --reuid=65534 --regid=65534 --clear-groups test -r "$H/trosk/P/current.xml"; then
  # Root writes anywhere: the run is made as nobody instead.
  printf '#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 --clear-groups "%s" "$@"\n' \
    "$TROSK_BIN" >"$SCRATCH/asnobody"
  chmod 755 "$SCRATCH/asnobody"
  TROSK_BIN=$SCRATCH/asnobody
else
  echo "skipped: a directory that may not be written (nobody cannot read the host here)"
  TROSK_BIN=""
fi
if [ -n "$TROSK_BIN" ]; then
  run "y\ny\n" -- P -host "$H" -download
  fails_with "cannot store $H/trosk/P/P_1/a.txt_v1 in the working directory: Permission denied" \
    "download unsuccessful"
fi
TROSK_BIN=$REAL_BIN
chmod 755 .

finish
