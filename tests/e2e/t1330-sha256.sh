#!/usr/bin/env bash
# The SHA-256 each entry records: written when a file is stored, checked on
# every download (a copy altered to keep its size and sums is refused, so is
# a value that is no digest), compared by -verify; a log without it is
# used as before.
. "$(dirname "$0")/lib.sh"

H=$(make_host host)
LOG=$H/trosk/E/E_1/trosk_E.xml
OLD='2024-01-10 10:00:00'

# edit_entry NAME FIELD=VALUE...: rewrites children of the host log's entry
# NAME (an empty value removes the child; a new child goes after "name"),
# and its frozen copy with it. FIELD=@FILE takes size and sums from FILE,
# measured as the host log measures them.
edit_entry() {
  python3 - "$LOG" "$@" <<'PY'
import re, sys
log, name, edits = sys.argv[1], sys.argv[2], sys.argv[3:]
text = open(log).read()
start = text.index("<name>%s</name>" % name)
end = text.index("</file>", start)
entry = text[start:end]
values = {}
for edit in edits:
    field, value = edit.split("=", 1)
    if value.startswith("@"):
        data = open(value[1:], "rb").read()
        crc = parity = 0
        for b in data:
            r = crc ^ b
            crc = ((r & 0x7F) << 1) | (r >> 7)
            parity ^= b
        s = sum(data) % 2**32
        values.update(size=len(data), checksum=s - 2**32 if s >= 2**31 else s, parity=parity, crc=crc)
    else:
        values[field] = value
for field, value in values.items():
    entry = re.sub(r"\n *<%s>[^<]*</%s>" % (field, field), "", entry)
    if value not in ("", 0):
        entry = entry.replace("</name>", "</name>\n  <%s>%s</%s>" % (field, value, field), 1)
text = text[:start] + entry + text[end:]
open(log, "w").write(text)
open(log.replace(".xml", "_1.xml"), "w").write(text)
PY
}

workdir src
printf 'alpha\n' >a.txt
printf 'beta\n' >b.txt
printf '\000\001\002binary\n' >bin.dat
for f in a.txt b.txt bin.dat; do stamp $f "$OLD"; done

test_case "add records the SHA-256 of each file's own bytes"
run -- E -source -host "$H" -add a.txt b.txt bin.dat -comment start
expect_rc 0
expect_file "$H/trosk/E/E_1/bin.dat.vtp_v1"
for f in a.txt b.txt bin.dat; do
  expect_grep "<sha256>$(sha256sum $f | cut -c1-64)</sha256>" "$LOG"
done

test_case "a download checks them, armoured copies too"
workdir w
run "y\nn\n" -- E -host "$H" -download
expect_rc 0
for f in a.txt b.txt bin.dat; do expect_same $f "$SCRATCH/src/$f"; done

test_case "a copy altered with its sums rewritten, and a value that is no digest, are refused"
printf 'blpha\n' >"$SCRATCH/blpha"
cp "$SCRATCH/blpha" "$H/trosk/E/E_1/a.txt_v1"
edit_entry a.txt size=@"$SCRATCH/blpha"
edit_entry bin.dat sha256=not-a-digest
for f in a.txt b.txt bin.dat; do printf 'local %s\n' $f >$f; stamp $f '2023-01-01 01:01:01'; done
run "A\n" -- E -host "$H" -download
expect_rc 255
expect_err "TROSK Warning -- SHA-256 mismatch, local file kept: a.txt"
expect_err "TROSK Warning -- SHA-256 mismatch, local file kept: bin.dat"
expect_err "TROSK error -- Files not updated: 2"
expect_content a.txt "local a.txt\n"
expect_content bin.dat "local bin.dat\n"
expect_same b.txt "$SCRATCH/src/b.txt"
ls -A | grep -q '\.trosk-' && fail "temporary download left behind" || pass

test_case "a log without them downloads as before"
edit_entry a.txt sha256=
edit_entry bin.dat sha256=
run "A\n" -- E -host "$H" -download
expect_rc 0
expect_no_err "SHA-256"
expect_content a.txt "blpha\n"
expect_same bin.dat "$SCRATCH/src/bin.dat"

test_case "-verify compares them"
edit_entry b.txt sha256="$(sha256sum b.txt | cut -c1-64)"
run "n\n" -- E -host "$H" -verify
expect_rc 0
expect_line "Verified local log file -- 0 entries updated"
edit_entry b.txt sha256="$(sha256sum a.txt | cut -c1-64)"
run "n\n" -- E -host "$H" -verify
expect_rc 0
expect_line "Verified local log file -- 1 entries updated"
# Its content counts as differing (the word says how the stamps stand).
entry=$(sed -n '/<name>b.txt</,/<\/file>/p' trosk_E.xml)
grep -q '<status>' <<<"$entry" && pass || fail "b.txt not flagged: $entry"
grep -q '<status>' <<<"$(sed -n '/<name>a.txt</,/<\/file>/p' trosk_E.xml)" && fail "a.txt flagged" || pass

finish
