# bash completion for tarnwick-cli                       -*- shell-script -*-
#
# Everything offered is read from the program's own help when Tab is pressed,
# so a new subcommand, option or list of values needs no change here:
#   - subcommands and options from "tarnwick-cli [SUBCOMMAND...] --help";
#   - an option's values from the {a,b,...} list its help shows;
#   - file names where the help asks for a FILE or a PATH;
#   - plan names, from "tarnwick-cli plans", for --plan and "plans show".

# Subcommands that also take the options of the command above them (CLI11's
# fallthrough, which the help does not show).
_tarnwick_cli_inheriting=" identify "

# One line per entry of a help text: "sub NAME", "opt NAME,NAME TYPE" (TYPE
# "-" for a flag) or "pos NAME TYPE". Arguments: the program and the
# subcommands to ask.
_tarnwick_cli_help() {
  "$@" --help 2>/dev/null | awk '
    /^[A-Za-z][A-Za-z ]*:$/ { section = $0; next }
    # The name and type end where the padding before the description starts.
    /^  [^ ]/ {
      head = substr($0, 3)
      sub(/  .*/, "", head)
      n = split(head, t, " ")
      type = (n >= 2 && t[2] !~ /:$/ && t[2] != "REQUIRED") ? t[2] : "-"
      if (section == "Subcommands:") print "sub", t[1]
      else if (section == "Options:" && t[1] ~ /^-/) print "opt", t[1], type
      else if (section == "Positionals:") print "pos", t[1], type
    }'
}

# The TYPE of an option named in a help listing; nothing for an unknown one.
_tarnwick_cli_type() {
  awk -v name="$2" '$1 == "opt" {
      n = split($2, names, ",")
      for (i = 1; i <= n; i++) if (names[i] == name) { print $3; exit }
    }' <<<"$1"
}

# Offers file names, then the words given.
_tarnwick_cli_files() {
  local cur=$1
  shift
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur"; compgen -W "$*" -- "$cur")
}

_tarnwick_cli_plans() {
  "${COMP_WORDS[0]}" plans 2>/dev/null | awk 'NF { print $1 }'
}

# Offers what a value of TYPE may be, for the option or positional NAME
# (the positional NAME is the plan of "plans show").
_tarnwick_cli_values() {
  local type=$1 name=$2 cur=$3
  if [[ $name == --plan || $name == NAME ]]; then
    _tarnwick_cli_files "$cur" "$(_tarnwick_cli_plans)"
  elif [[ $type == *"{"*"}"* ]]; then
    local values=${type#*\{}
    values=${values%%\}*}
    mapfile -t COMPREPLY < <(compgen -W "${values//,/ }" -- "$cur")
  elif [[ $type == *FILE* || $type == *PATH* || $name == FILE ]]; then
    _tarnwick_cli_files "$cur"
  fi
}

_tarnwick_cli() {
  COMPREPLY=()
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local program=${COMP_WORDS[0]}
  # bash splits "--band=2" into "--band", "=", "2".
  local option=""
  if [[ $cur == "=" ]]; then
    option=$prev
    cur=""
  elif [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  fi

  # Walk the words before the cursor to the subcommand in use, stepping over
  # the values of options that take one.
  local -a path=()
  local help parent="" word type i skip=""
  help=$(_tarnwick_cli_help "$program")
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ -n $skip ]]; then
      skip=""
      continue
    fi
    if [[ $word == "=" ]]; then
      skip=1
      continue
    fi
    if [[ $word != -* ]] && grep -qx "sub $word" <<<"$help"; then
      path+=("$word")
      [[ $_tarnwick_cli_inheriting == *" $word "* ]] && parent=$(grep '^opt ' <<<"$help") || parent=""
      help=$(_tarnwick_cli_help "$program" "${path[@]}")
      [[ -n $parent ]] && help+=$'\n'$parent
      continue
    fi
    if [[ $word == -* ]]; then
      type=$(_tarnwick_cli_type "$help" "$word")
      if [[ -n $type && $type != "-" && ${COMP_WORDS[i + 1]} != "=" ]]; then skip=1; fi
    fi
  done

  if [[ -z $option && $prev == -* ]]; then
    type=$(_tarnwick_cli_type "$help" "$prev")
    [[ -n $type && $type != "-" ]] && option=$prev
  fi
  if [[ -n $option ]]; then
    _tarnwick_cli_values "$(_tarnwick_cli_type "$help" "$option")" "$option" "$cur"
    return 0
  fi

  if [[ $cur == -* ]]; then
    local names
    names=$(awk '$1 == "opt" { gsub(",", " ", $2); print $2 }' <<<"$help")
    mapfile -t COMPREPLY < <(compgen -W "$names" -- "$cur")
    return 0
  fi
  local subcommands positional
  subcommands=$(awk '$1 == "sub" { print $2 }' <<<"$help")
  positional=$(awk '$1 == "pos" { print $2, $3; exit }' <<<"$help")
  if [[ -n $positional ]]; then
    _tarnwick_cli_values "${positional#* }" "${positional%% *}" "$cur"
  fi
  if [[ -n $subcommands ]]; then
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -W "$subcommands" -- "$cur")
  fi
  return 0
}

complete -F _tarnwick_cli tarnwick-cli
