#!/usr/bin/env bash
# Tab completion of tarnwick-cli, as bash runs it.
#   completion_test.sh COMPLETION_FILE TARNWICK_CLI
set -u
completion=$(realpath "$1") || exit 1
program=$(realpath "$2") || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch limits.txt mine.toml
mkdir scenes
export XDG_CONFIG_HOME=$work/config  # no plans of the user's running the test
# shellcheck source=/dev/null
source "$completion" || exit 1

# The words typed, the last being the one completed | what must be offered
# ("-" for nothing at all) | what must not be.
cases=(
  "''                      | runs show export backup plans report identify | --carrier limits.txt"
  "--ba                    | --band --backend              | --avg"
  "--band ''               | 800M 2G                       | box limits.txt"
  "--band = 8              | 800M                          | 2G"
  "--dialect ''            | builtin scpi                  | 800M"
  "--format ''             | box csv json                  | limits.txt"
  "export --format ''      | csv json                      | box"
  "--plan ''               | 800M 2G 3.5G 2G-12.75G mine.toml limits.txt | runs"
  "plans show 3            | 3.5G                          | 800M"
  "plans ''                | show                          | runs"
  "--limits li             | limits.txt                    | mine.toml"
  "--sim-scene ''          | limits.txt scenes             | runs"
  "backup ''               | limits.txt                    | runs"
  "report -o ''            | limits.txt                    | runs"
  "runs --                 | --last --journal              | --carrier"
  "identify --res          | --resource                    | --last"
  "--carrier 1940 --avg r  | runs report                   | limits.txt"
  "--journal plans --no-journal '' | runs export          | limits.txt"
  "--band = plans r        | runs report                   | 800M"
  "--carrier ''            | -                             | "
)

passed=0
failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r typed offered refused <<<"$row"
  eval "words=($typed)"
  COMP_WORDS=("$program" "${words[@]}")
  COMP_CWORD=${#words[@]}
  COMPREPLY=()
  _tarnwick_cli
  got=" ${COMPREPLY[*]} "
  wrong=""
  for word in $offered; do
    if [[ $word == "-" ]]; then
      [[ ${#COMPREPLY[@]} -eq 0 ]] || wrong+=" offered something"
    elif [[ $got != *" $word "* ]]; then
      wrong+=" lacks $word"
    fi
  done
  for word in $refused; do
    [[ $got == *" $word "* ]] && wrong+=" offers $word"
  done
  if [[ -n $wrong ]]; then
    echo "FAIL: tarnwick-cli $typed<Tab>:$wrong (offered:$got)"
    ((failed++))
  else
    ((passed++))
  fi
done
echo "completion: $passed passed, $failed failed"
((failed == 0))
