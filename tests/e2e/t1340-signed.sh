#!/usr/bin/env bash
# Signed hosts: a writer with -sign signs each catalogue and log it
# publishes and publishes its key; a reader trusts the key by its
# fingerprint (asked once, or given with -trust), then refuses any catalogue
# or log that key did not sign, and any copy whose SHA-256 differs, changing
# nothing; a new key needs a yes; an unsigned host says so.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
S=$H/trosk/S
P1=$S/S_1

# fingerprint KEYFILE: the SHA-256 of the key's 32 public bytes.
fingerprint() { openssl pkey -in "$1" -pubout -outform DER | tail -c 32 | sha256sum | cut -c1-64; }
openssl genpkey -algorithm ed25519 -out "$SCRATCH/key.pem" 2>/dev/null
openssl genpkey -algorithm ed25519 -out "$SCRATCH/other.pem" 2>/dev/null
FP=$(fingerprint "$SCRATCH/key.pem")
FP2=$(fingerprint "$SCRATCH/other.pem")

test_case "a signed add signs the catalogue and each log, and publishes the key"
workdir src
printf 'abcdefghijklmnop\n' >a.txt
printf 'beta\n' >b.txt
run -- S -source -host "$H" -sign "$SCRATCH/key.pem" -add a.txt b.txt -comment one
expect_rc 0
expect_no_err "Save local settings"
for f in current.xml.sig signer.pem S_1/trosk_S.xml.sig S_1/trosk_S_1.xml.sig; do expect_file "$S/$f"; done
expect_grep "<sign>$SCRATCH/key.pem</sign>" trosk_project.xml
expect_grep "<trust>$FP</trust>" trosk_project.xml
run -- S -sign "$SCRATCH/missing.pem" -add a.txt -comment x
expect_rc 255
expect_err "TROSK error -- Signing key not usable: $SCRATCH/missing.pem"

start_nginx "$H"
WEB=(-host 127.0.0.1 -port "$NGINX_PORT")

test_case "the first download shows the fingerprint; no refuses and changes nothing"
workdir web
run "y\nn\n" -- S "${WEB[@]}" -download
expect_rc 255
expect_err "$FP"
expect_err "TROSK error -- Refused host file: /trosk/S/signer.pem"
expect_no_file a.txt
expect_no_file trosk_S.xml
expect_no_file trosk_project.xml

test_case "yes trusts the key and records it in the project list"
run "y\ny\n" -- S "${WEB[@]}" -download
expect_rc 0
expect_same a.txt "$SCRATCH/src/a.txt"
expect_grep "<trust>$FP</trust>" trosk_project.xml
run -- S "${WEB[@]}" -show
expect_rc 0
expect_no_err "Trust this key"
expect_out "Signed by the key with fingerprint $FP"

test_case "a copy altered with its sums kept is refused by its SHA-256, the log's signature holds"
printf 'old\n' >a.txt
cp trosk_S.xml "$SCRATCH/local.xml"
# Bytes 8 apart swapped: the same size, sum, parity and crc.
printf 'ibcdefghajklmnop\n' >"$P1/a.txt_v1"
run -- S "${WEB[@]}" -download -prompt 0
expect_rc 255
expect_err "SHA-256 mismatch"
expect_content a.txt "old\n"
expect_same b.txt "$SCRATCH/src/b.txt"

test_case "a log whose SHA-256 is rewritten to match fails its signature; nothing changes"
cp "$P1/trosk_S.xml" "$SCRATCH/host.xml"
altered=$(sha256sum "$P1/a.txt_v1" | cut -c1-64)
sed -i "s|<sha256>[0-9a-f]*</sha256>|<sha256>$altered</sha256>|" "$P1/trosk_S.xml"
cp trosk_S.xml "$SCRATCH/before.xml"
run -- S "${WEB[@]}" -download -prompt 0
expect_rc 255
expect_err "TROSK error -- Refused host file: /trosk/S/S_1/trosk_S.xml"
expect_out "invalid"
expect_content a.txt "old\n"
expect_same trosk_S.xml "$SCRATCH/before.xml"
cp "$SCRATCH/host.xml" "$P1/trosk_S.xml"
printf 'abcdefghijklmnop\n' >"$P1/a.txt_v1"

test_case "a missing signature is refused, on a web host and a directory host"
mv "$S/current.xml.sig" "$SCRATCH/sig"
run -- S "${WEB[@]}" -download -prompt 0
expect_rc 255
expect_err "TROSK error -- Refused host file: /trosk/S/current.xml"
expect_out "signature is missing"
expect_content a.txt "old\n"
run -- S -host "$H" -download -prompt 0
expect_rc 255
expect_out "signature is missing"
mv "$SCRATCH/sig" "$S/current.xml.sig"
run -- S "${WEB[@]}" -download -prompt 0
expect_rc 0
expect_same a.txt "$SCRATCH/src/a.txt"

test_case "a new key is refused until the user says yes"
cd "$SCRATCH/src"
printf 'beta, again\n' >b.txt
run -- S -sign "$SCRATCH/other.pem" -upload -prompt 0 -comment rekeyed
expect_rc 0
cd "$SCRATCH/web"
run "n\n" -- S "${WEB[@]}" -download -prompt 0
expect_rc 255
expect_err "$FP2"
expect_out "signed with another key than the trusted one"
expect_content b.txt "beta\n"
run "\n" -- S "${WEB[@]}" -download -prompt 0
expect_rc 255
run "y\n" -- S "${WEB[@]}" -download -prompt 0
expect_rc 0
expect_content b.txt "beta, again\n"
expect_grep "<trust>$FP2</trust>" trosk_project.xml

test_case "-trust gives the key without a question, and must name the host's"
workdir trusting
run "y\n" -- S -host "$H" -trust "$FP" -download
expect_rc 255
expect_out "is not the one -trust names"
expect_no_file b.txt
run "y\n" -- S -host "$H" -trust "$FP2" -download
expect_rc 0
expect_no_err "Trust this key"
expect_content b.txt "beta, again\n"

test_case "a writer without the key cannot publish unsigned logs on a signed host"
workdir nokey
printf 'other\n' >o.txt
run -- S -source -host "$H" -add o.txt -comment unsigned
expect_rc 255
expect_err "TROSK error -- The host of project S is signed: give its key with -sign"
expect_no_file "$P1/o.txt_v1"

test_case "a host that loses its key is refused where one is trusted"
cd "$SCRATCH/web"
mv "$S/signer.pem" "$SCRATCH/signer.pem"
run -- S "${WEB[@]}" -download
expect_rc 255
expect_out "the host has no signing key"
mv "$SCRATCH/signer.pem" "$S/signer.pem"

test_case "an unsigned host works as before, with one line that says so"
workdir plain
printf 'plain\n' >p.txt
run "n\n" -- U -source -host "$H" -add p.txt -comment plain
expect_no_file "$H/trosk/U/signer.pem"
workdir plainread
run "y\nn\n" -- U "${WEB[@]}" -download
expect_rc 0
expect_lines 1 "Host is unsigned: no signing key for project U"
expect_content p.txt "plain\n"

finish
