#!/usr/bin/env bash
# The bash completion, driven as bash drives it: COMP_WORDS and COMP_CWORD
# set, the function called, COMPREPLY read.
. "$(dirname "$0")/lib.sh"
. "$TROSK_SOURCE_DIR/dist/trosk.bash"

# expect "WORDS..." "REPLIES...": completes the last word of the command line
# (an empty last word completes after a blank) and compares the sorted replies.
expect() {
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _trosk
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
  [ "$got" = "$2" ] || fail "'$1': got '$got', expected '$2'"
}

cd "$SCRATCH"
mkdir -p hosts/one hosts/two work
touch notes.txt hosts/file.c
printf '<trosk>\n <project>\n  <name>alpha</name>\n  <host>/h</host>\n </project>\n <project>\n  <name>beta</name>\n </project>\n</trosk>\n' \
  >trosk_project.xml

expect "trosk " "alpha beta"
expect "trosk al" "alpha"
expect "trosk -st" "-stable -status"
expect "trosk demo -prompt " "0 1"
expect "trosk demo -p " "0 1"
expect "trosk demo -STAT 1" "1"
expect "trosk demo -backup " "0 1"
expect "trosk demo -source " "0 1"
expect "trosk demo -status " "0 1 2 3 4 5 6 7"
expect "trosk demo -host " "hosts work"
expect "trosk demo -loc hosts/" "hosts/one hosts/two"
expect "trosk demo -add " "hosts notes.txt trosk_project.xml work"
expect "trosk demo -source -a notes.txt hosts/f" "hosts/file.c"
expect "trosk demo -add notes.txt -co" "-comment"
expect "trosk demo -user " ""
expect "trosk demo -status 4 s" ""

# The hidden project list is read when the plain one is absent.
mv trosk_project.xml .trosk_project.xml
expect "trosk b" "beta"

# The option list is the one that -help shows.
helplist=$(help_options | sed 's/ .*//; s/^/-/' | sort | xargs)
expect "trosk -" "$helplist"
finish
