# bash completion for trosk
# Plain bash (compgen), so it works without the bash-completion package too.

_trosk_options="-access -add -alpha -backup -beta -cacert -comment -current -decode -directory
-dmy -download -dump -encode -help -host -init -localhost -log -maxfiles -mdy -nobar -pipeline
-platform -port -prompt -remotedir -show -sign -source -stable -status -subversion -suffix -tempdir
-trust -upload -user -verbose -verify -version -webhdr -zip"

# The long form of an option word as trosk reads it: one-letter forms,
# whole words and unambiguous abbreviations, in any case.
_trosk_longform() {
  local word=${1#-} option found=""
  case $word in
    a) echo -add; return ;; A) echo -alpha; return ;; B) echo -beta; return ;;
    c) echo -current; return ;; C) echo -comment; return ;; d) echo -decode; return ;;
    D) echo -directory; return ;; e) echo -encode; return ;; h|\?) echo -help; return ;;
    H) echo -host; return ;; i) echo -init; return ;; L) echo -log; return ;;
    p) echo -prompt; return ;; P) echo -port; return ;; R) echo -remotedir; return ;;
    s) echo -status; return ;; S) echo -show; return ;; u) echo -upload; return ;;
    U) echo -user; return ;; v) echo -version; return ;; V) echo -verbose; return ;;
    W) echo -webhdr; return ;; X) echo -dump; return ;;
  esac
  word=${word,,}
  for option in $_trosk_options; do
    [ "$option" = "-$word" ] && { echo "$option"; return; }
    if [[ $option == "-$word"* ]]; then
      [ -n "$found" ] && return
      found=$option
    fi
  done
  echo "$found"
}

# The project names of the project list in the current directory: the text
# of each <name> inside a <project> element, one element per line.
_trosk_projects() {
  local list line inside=0
  for list in trosk_project.xml .trosk_project.xml; do
    [ -r "$list" ] || continue
    while IFS= read -r line; do
      case $line in
        *"<project>"*) inside=1 ;;
        *"</project>"*) inside=0 ;;
        *"<name>"*"</name>"*)
          if [ "$inside" = 1 ]; then
            line=${line#*<name>}
            echo "${line%%</name>*}"
          fi ;;
      esac
    done <"$list"
    return
  done
}

# Fills COMPREPLY with the lines of a compgen run, blanks and all.
_trosk_reply() {
  mapfile -t COMPREPLY < <(compgen "$@")
}

_trosk() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev="" i
  COMPREPLY=()
  if [ "$COMP_CWORD" -gt 1 ] && [[ ${COMP_WORDS[COMP_CWORD - 1]} == -* ]]; then
    prev=$(_trosk_longform "${COMP_WORDS[COMP_CWORD - 1]}")
  fi

  case $prev in
    -prompt|-source|-backup) _trosk_reply -W "0 1" -- "$cur"; return ;;
    -status) _trosk_reply -W "0 1 2 3 4 5 6 7" -- "$cur"; return ;;
    -host|-localhost|-tempdir)
      compopt -o filenames 2>/dev/null
      _trosk_reply -d -- "$cur"
      return ;;
    -cacert|-sign)
      compopt -o filenames 2>/dev/null
      _trosk_reply -f -- "$cur"
      return ;;
    -port|-user|-access|-remotedir|-platform|-suffix|-version|-subversion|-comment|-directory|-maxfiles|-pipeline|-trust)
      return ;;
  esac
  if [[ $cur != -* ]]; then
    if [ "$COMP_CWORD" = 1 ]; then
      _trosk_reply -W "$(_trosk_projects)" -- "$cur"
      return
    fi
    # -add takes every file name up to the next option.
    for ((i = COMP_CWORD - 1; i >= 1; i--)); do
      [[ ${COMP_WORDS[i]} == -* ]] || continue
      if [ "$(_trosk_longform "${COMP_WORDS[i]}")" = -add ]; then
        compopt -o filenames 2>/dev/null
        _trosk_reply -f -- "$cur"
        return
      fi
      break
    done
    [ -n "$cur" ] && return
  fi
  _trosk_reply -W "$_trosk_options" -- "$cur"
}

complete -F _trosk trosk
