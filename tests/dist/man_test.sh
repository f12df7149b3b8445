#!/usr/bin/env bash
# The manual pages: every option of -help has an entry in trosk(1) that also
# names its one-letter forms, and both pages are free of mandoc warnings.
. "$(dirname "$0")/lib.sh"
man=$TROSK_SOURCE_DIR/docs/man

# The tag lines of trosk(1) (the line after each .TP), fonts and escapes
# stripped, commas as blanks: "-status [N]  -s".
tags=$(sed -n '/^\.TP/{n;p}' "$man/trosk.1" | sed -E 's/\\f[BIRP]//g; s/\\-/-/g; s/,/ /g')

count=0
while read -r option rest; do
  read -ra letters <<<"$rest"
  count=$((count + 1))
  tag=$(grep -E -- "^-$option( |$)" <<<"$tags" | head -n 1)
  if [ -z "$tag" ]; then
    fail "trosk.1 has no entry for -$option"
    continue
  fi
  for letter in "${letters[@]}"; do
    [[ " $tag " == *" $letter "* ]] || fail "trosk.1 entry of -$option lacks $letter"
  done
done < <(help_options)
[ "$count" -ge 30 ] || fail "only $count options read from -help"

for page in trosk.1 trosk-gui.1; do
  if ! report=$(mandoc -T lint -W warning "$man/$page" 2>&1) || [ -n "$report" ]; then
    fail "mandoc on $page:"$'\n'"$report"
  fi
done
finish
