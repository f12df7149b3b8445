#!/usr/bin/env bash
# HTTPS hosts, served by nginx with certificates from a private authority
# made here: with -cacert a download and a status give exactly what they
# give over plain HTTP, and the project list keeps the https host; without
# -cacert, or with a certificate for another name, the run ends with the
# certificate error and writes nothing. A credential bound for a plain host
# on the network draws one warning per run.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
CERTS=$SCRATCH/certs
mkdir -p "$CERTS"
EC=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
openssl req -x509 -days 2 -subj '/CN=Trosk Test CA' "${EC[@]}" \
  -keyout "$CERTS/ca.key" -out "$CERTS/ca.pem" 2>/dev/null || fail "no test authority"

# make_cert NAME NAMES: NAME.pem and NAME.key, signed by the test authority
# for NAMES (subjectAltName form).
make_cert() {
  printf 'subjectAltName=%s\n' "$2" >"$CERTS/$1.ext"
  openssl req -subj "/CN=$1" "${EC[@]}" -keyout "$CERTS/$1.key" -out "$CERTS/$1.csr" 2>/dev/null &&
    openssl x509 -req -days 2 -in "$CERTS/$1.csr" -CA "$CERTS/ca.pem" -CAkey "$CERTS/ca.key" \
      -CAcreateserial -extfile "$CERTS/$1.ext" -out "$CERTS/$1.pem" 2>/dev/null ||
    fail "no certificate $1"
}
make_cert server 'IP:127.0.0.1,DNS:localhost'
make_cert other 'DNS:other.example'

workdir src
printf 'alpha\n' >a.txt
printf 'beta\nbeta\n' >b.txt
head -c 300000 /dev/urandom >data.bin
for f in a.txt b.txt data.bin; do stamp $f '2024-01-10 10:00:00'; done
run -- P -source -host "$H" -add a.txt b.txt data.bin -comment start
expect_rc 0

test_case "a download and a status over plain HTTP, to compare with"
start_nginx "$H"
PLAIN=http://127.0.0.1:$NGINX_PORT
workdir plain
run "y\nn\n" -- P -host "$PLAIN" -access 0 -download
expect_rc 0
plain_download=${out//$PLAIN/HOST}
run "n\n" -- P -host "$PLAIN" -access 0 -status
plain_status=${out//$PLAIN/HOST}

test_case "the same over HTTPS with -cacert"
start_nginx "$H" "" "" "$CERTS/server.pem" "$CERTS/server.key"
SECURE=https://127.0.0.1:$NGINX_PORT
workdir secure
run "y\ny\n" -- P -host "$SECURE" -access 0 -cacert "$CERTS/ca.pem" -download
expect_rc 0
if [ "${out//$SECURE/HOST}" = "$plain_download" ]; then pass; else fail "download output differs:"$'\n'"$out"; fi
for f in a.txt b.txt data.bin; do expect_same "$f" "$SCRATCH/plain/$f"; done
run "n\n" -- P -host "$SECURE" -access 0 -cacert "$CERTS/ca.pem" -status
expect_rc 0
if [ "${out//$SECURE/HOST}" = "$plain_status" ]; then pass; else fail "status output differs:"$'\n'"$out"; fi

test_case "the project list keeps the https host for later runs"
expect_grep "<host>$SECURE</host>" trosk_project.xml
run "" -- -cacert "$CERTS/ca.pem"
expect_rc 0
expect_out "Host: $SECURE"
expect_line " All files up-to-date (P)."

test_case "without -cacert the certificate is not trusted"
workdir untrusted
run "y\n" -- P -host "$SECURE" -access 0 -download
expect_rc 255
expect_line "Cause: the certificate of ${SECURE#https://} is not trusted: unable to get local issuer certificate (-cacert FILE trusts a private certificate authority)"
expect_err "TROSK error -- Error reading remote log file: /trosk/P/P_1/trosk_P.xml"
expect_no_file a.txt
expect_no_file data.bin

test_case "a certificate for another name is not trusted either"
start_nginx "$H" "" "" "$CERTS/other.pem" "$CERTS/other.key"
run "y\n" -- P -host "https://localhost:$NGINX_PORT" -access 0 -cacert "$CERTS/ca.pem" -download
expect_rc 255
expect_line "Cause: the certificate of localhost:$NGINX_PORT is not trusted: hostname mismatch"
expect_err "TROSK error -- Error reading remote log file: /trosk/P/P_1/trosk_P.xml"
expect_no_file a.txt

test_case "a credential bound for a plain host on the network is warned of once"
TOKEN=$(b64 'alice:s3cret')
workdir warned
run "y\n" -- P -host "http://trosk-test.invalid/hosts" -access "$TOKEN" -download
expect_rc 255
expect_lines 0 "unencrypted"
if [ "$(grep -c 'TROSK Warning -- Your credential travels unencrypted to trosk-test.invalid' <<<"$err")" = 1 ]; then
  pass
else
  fail "not one warning:"$'\n'"$err"
fi
run "y\n" -- P -host "http://trosk-test.invalid/hosts" -access 0 -download
expect_no_err "unencrypted"
run "y\n" -- P -host "$PLAIN" -access "$TOKEN" -status
expect_no_err "unencrypted"

finish
