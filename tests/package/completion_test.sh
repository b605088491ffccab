#!/usr/bin/env bash
# Drives the bash completion of momiru-lab as bash does on Tab: sets COMP_WORDS and COMP_CWORD,
# calls the completion function and compares COMPREPLY. Each command's offered options are
# also compared with the long options its --help names.
#
# usage: completion_test.sh COMPLETION_FILE MOMIRU_LAB
set -uo pipefail
completion=$(realpath "$1") lab=$(realpath "$2")
bash_completion=/usr/share/bash-completion/bash_completion
[ -r "$bash_completion" ] || { echo "bash-completion is not installed"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch a.dat b.DAT c.momiru-replay page.html notes.txt
mkdir folder

# shellcheck disable=SC1090
source "$bash_completion"
source "$completion"

failed=0
# expect "WORDS..." "EXPECTED..." : the last word of WORDS is the one being completed.
expect() {
  local line=$1 want=$2
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line COMP_POINT=${#line}
  COMPREPLY=()
  _momiru_lab momiru-lab "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
  if [[ $got != "$want" ]]; then
    echo "'$line': got '$got', want '$want'"
    failed=1
  fi
}

expect "momiru-lab " "--help battle inspect league simulate tournament"
expect "momiru-lab si" "simulate"
expect "momiru-lab inspect " "a.dat b.DAT folder"
expect "momiru-lab battle " "a.dat b.DAT c.momiru-replay folder"
expect "momiru-lab battle a.dat --save-replay " "a.dat b.DAT c.momiru-replay folder notes.txt page.html"
expect "momiru-lab battle a.dat --html " "folder page.html"
expect "momiru-lab league a.dat --html=" "folder page.html"
expect "momiru-lab league --ht" "--html"
expect "momiru-lab simulate --seed " ""
expect "momiru-lab simulate -- " "a.dat b.DAT folder"
expect "momiru-lab simulate -- --" ""
expect "momiru-lab unknown " ""
expect "momiru-lab tournament " "add battle close new run show verify"
expect "momiru-lab tournament new t.momiru-tournament --format " "double round-robin single swiss"
expect "momiru-lab tournament new t.momiru-tournament --seeding l" "listed"
expect "momiru-lab tournament run --be" "--beacon"
expect "momiru-lab tournament verify " "folder page.html"
expect "momiru-lab tournament add t.momiru-tournament " "a.dat b.DAT folder"

# The options offered for each command are those of its --help's option list (the indented
# lines that begin with an option).
for command in $("$lab" --help | sed -n 's/^  \([a-z]*\) .*/\1/p'); do
  want=$( ("$lab" "$command" --help | grep -oE '^ {2,}(-h, )?--[a-z][a-z0-9-]*' | grep -oE -- '--[a-z0-9-]+'
    echo --help) | sort -u | xargs)
  expect "momiru-lab $command --" "$want"
done

exit $failed
