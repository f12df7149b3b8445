# Shared by the distribution checks: reads the options that the built binary's
# -help lists, so that the checks follow the help text as it grows.
set -u
export LC_ALL=C  # the checks compare sorted lists
TROSK_BIN=$(realpath "${TROSK_BIN:?TROSK_BIN names the trosk binary}")
TROSK_SOURCE_DIR=${TROSK_SOURCE_DIR:?TROSK_SOURCE_DIR names the source tree}
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/trosk-dist-XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
failures=0

fail() {
  failures=$((failures + 1))
  echo "FAIL: $*" >&2
}

finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}

# Prints one line per option of -help: the long form, then its one-letter
# forms ("status -s", "help -h -?"). An option line starts with two blanks
# and a dash; its letters stand in brackets either in the option column or
# first in the description.
help_options() {
  local line column rest token option=""
  # -help writes its text to trosk_tmp.txt in the working directory too.
  (cd "$SCRATCH" && "$TROSK_BIN" -help) >"$SCRATCH/help.txt" || fail "trosk -help failed"
  while IFS= read -r line; do
    [[ $line =~ ^\ \ -[a-z] ]] || continue
    line=${line#  }
    column=${line%%  *}
    rest=${line:${#column}}
    rest=${rest#"${rest%%[! ]*}"}
    [[ $rest =~ ^(\(-[^\)]*\)) ]] && column+=" ${BASH_REMATCH[1]}"
    while IFS= read -r token; do
      if [[ $token == "("* ]]; then
        token=${token//[(),]/}
        option+=" $token"
      else
        [ -n "$option" ] && echo "$option"
        option=${token#-}
      fi
    done < <(grep -oE -- '-[a-z][a-z0-9]*|\(-[^)]*\)' <<<"$column")
  done <"$SCRATCH/help.txt"
  [ -n "$option" ] && echo "$option"
}
