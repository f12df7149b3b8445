#!/usr/bin/env bash
# Two uploaders and an add change one project at the same moment, round
# after round: every change is on the host afterwards, or its writer was
# refused with the lock message; none is ever lost. TROSK_RACE_ROUNDS sets
# the number of rounds (a handful by default).
. "$(dirname "$0")/lib.sh"

ROUNDS=${TROSK_RACE_ROUNDS:-6}
H=$(make_host host)
LOG=$H/trosk/R/R_1/trosk_R.xml

workdir adder
printf 'first\n' >one.txt
printf 'first\n' >two.txt
run -- R -source -host "$H" -add one.txt two.txt -comment start
expect_rc 0
for w in u1 u2; do
  workdir $w
  run "y\nA\n" -- R -source -host "$H" -download
  expect_rc 0
done

# hosted NAME: the content the host's current log gives for NAME.
hosted() {
  local source
  source=$(sed -n "/<name>$1<\/name>/,/<\/file>/s/.*<source>\(.*\)<\/source>.*/\1/p" "$LOG" | head -1)
  [ -n "$source" ] && cat "$H/trosk/R/R_1/$source"
}

# writer DIR TRANSCRIPT ARGS...: one trosk run in DIR, in the background.
writer() {
  local dir=$1 out=$2
  shift 2
  (cd "$SCRATCH/$dir" && "$TROSK_BIN" "$@" </dev/null >"$out.out" 2>"$out.err"; echo $? >"$out.rc") &
}

# check WHAT NAME CONTENT TRANSCRIPT: the change is on the host, or the
# writer was refused with the lock message.
check() {
  local rc
  rc=$(cat "$4.rc")
  if [ "$rc" = 0 ] && [ "$(hosted "$2")" = "$3" ]; then
    pass
  elif [ "$rc" = 255 ] && grep -q "is being changed on the host by" "$4.err"; then
    pass
  else
    fail "round $round: the $1 of $2 is lost (exit $rc): $(cat "$4.err")"
  fi
}

test_case "racing writers never lose a change"
for round in $(seq 1 "$ROUNDS"); do
  printf 'u1 round %s\n' "$round" >"$SCRATCH/u1/one.txt"
  printf 'u2 round %s\n' "$round" >"$SCRATCH/u2/two.txt"
  printf 'added in round %s\n' "$round" >"$SCRATCH/adder/new$round.txt"
  t=$SCRATCH/t$round
  writer u1 "$t.u1" R -upload -prompt 0 -comment "u1 $round"
  writer u2 "$t.u2" R -upload -prompt 0 -comment "u2 $round"
  writer adder "$t.add" R -source -host "$H" -add "new$round.txt" -comment "add $round"
  wait
  check upload one.txt "u1 round $round" "$t.u1"
  check upload two.txt "u2 round $round" "$t.u2"
  check add "new$round.txt" "added in round $round" "$t.add"
done
# Nothing a refused or interrupted writer left is named by no log for long.
expect_no_file "$H/trosk/R/trosk.lock"

finish
