#!/usr/bin/env bash
# The command line through the real program: exit codes, error reports,
# help, the output file and the project-name question.
. "$(dirname "$0")/lib.sh"

test_case "unrecognised option"
run -- -xyz
expect_rc 255
expect_err "TROSK error -- Unrecognized option: -xyz"

test_case "ambiguous abbreviation"
run -- demo -st
expect_rc 255
expect_err "TROSK error -- Unrecognized option: -st"

test_case "bad values name the argument"
run -- demo -version x
expect_rc 255
expect_err "TROSK error -- invalid version number: x"
run -- demo -port
expect_rc 255
expect_err "TROSK error -- invalid port number: -port"

test_case "help"
for option in -help -? -h -HELP; do
  run -- "$option"
  expect_rc 0
  expect_out "Trosk -- Version 1.19"
  expect_out "Examples"
done
expect_grep "Trosk -- Version 1.19" trosk_tmp.txt

test_case "output file starts afresh with each run"
echo "left over" >trosk_tmp.txt
run -- -help
if grep -q "left over" trosk_tmp.txt; then fail "old output kept"; else pass; fi

test_case "no project and no list: the question, then no project"
run "" --
expect_rc 255
expect_err "Enter project name: "
expect_err "TROSK error -- No project found"

test_case "server mode prints no banner"
run "" -- -server
expect_no_out "Trosk -- Version"

finish
