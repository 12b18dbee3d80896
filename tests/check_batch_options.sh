#!/usr/bin/env bash
# mervale-batch's options are described in four places that drift apart when one is forgotten.
#
#   check_batch_options.sh documented MERVALE_BATCH SOURCE_DIR
#       --help, the manual page and the bash completion name the same options, and the README
#       names every one of them.
#   check_batch_options.sh completion MERVALE_BATCH SOURCE_DIR
#       the completion offers the values a user would pick: profile names from the program
#       folder and the user profile folder, the choices of --progress and --data-case.
#
# Needs bash-completion (scripts/install-deps.sh installs it), whose helpers the completion uses.
set -uo pipefail
mode=${1:?usage: check_batch_options.sh documented|completion MERVALE_BATCH SOURCE_DIR}
batch=${2:?}
src=${3:?}
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

options() { grep -o -- '--[a-z][a-z0-9-]*' | sort -u; }

# Runs the completion for a command line whose last word is being completed; prints the
# candidates one a line, sorted.
complete_line() {
  (
    # shellcheck disable=SC1091
    source /usr/share/bash-completion/bash_completion || exit 1
    # shellcheck disable=SC1091
    source "$src/apps/batch/mervale-batch.bash" || exit 1
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    # Readline splits "--profile=O" into three words; the line has no blanks around "=".
    COMP_LINE=$*
    COMP_LINE=${COMP_LINE// = /=}
    COMP_POINT=${#COMP_LINE}
    # compopt speaks only to readline, which is not there.
    _mervale_batch 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort
  )
}

if [ ! -r /usr/share/bash-completion/bash_completion ]; then
  echo "FAIL: bash-completion is not installed (scripts/install-deps.sh installs it)"
  exit 1
fi

case $mode in
  documented)
    help=$("$batch" --help | options)
    [ -n "$help" ] || fail "mervale-batch --help names no option"
    # Roff writes a minus sign as \-; the comment lines are not the page.
    man=$(grep -v '^\.\\"' "$src/apps/batch/mervale-batch.1" | sed 's/\\-/-/g' | options)
    completion=$(complete_line mervale-batch -- | options)
    for place in man completion; do
      only_help=$(comm -23 <(echo "$help") <(echo "${!place}"))
      only_there=$(comm -13 <(echo "$help") <(echo "${!place}"))
      [ -z "$only_help" ] || fail "in --help but not in the $place:" $only_help
      [ -z "$only_there" ] || fail "in the $place but not in --help:" $only_there
    done
    not_in_readme=$(comm -23 <(echo "$help") <(options <"$src/README.md"))
    [ -z "$not_in_readme" ] || fail "in --help but not in the README:" $not_in_readme
    ;;
  completion)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/home" "$work/data/Quillfen/Mervale/profiles" "$work/home/dir.pfl"
    # The program folder takes .pfl in any letter case, the user folder .pfl alone; a name in
    # both is offered once.
    touch "$work/home/Oracle 9.pfl" "$work/home/Shouty.PFL" "$work/home/Same.pfl" "$work/home/notes.txt"
    touch "$work/data/Quillfen/Mervale/profiles/"{Mine.pfl,Other.PFL,Same.pfl}
    # The program folder of the program as typed: the build lays the shipped profiles beside it.
    shipped=$(cd "$(dirname "$batch")" && ls -- *.pfl | sed 's/\.pfl$//' | sort)
    # cases: expected candidates (| between them) ; environment ; the words after the program,
    # as readline splits them ('' the empty word being completed)
    while IFS=';' read -r expected env words; do
      eval "w=($words)"
      got=$(env -i PATH="$PATH" HOME="$work/nohome" $env bash -c "$(declare -f complete_line); src='$src'; complete_line \"\$@\"" \
        _ "$batch" "${w[@]}" | paste -sd'|')
      expected=${expected//@shipped@/$(echo "$shipped" | paste -sd'|')}
      [ "$got" = "$expected" ] || fail "completing '$words' with $env: got '$got', expected '$expected'"
    done <<EOF
Mine|Oracle 9|Same|Shouty;MERVALE_HOME=$work/home XDG_DATA_HOME=$work/data;--profile ''
Oracle 9;MERVALE_HOME=$work/home XDG_DATA_HOME=$work/data;--profile = O
@shipped@;XDG_DATA_HOME=$work/none;--profile ''
json;MERVALE_HOME=$work/home;--progress j
asis;MERVALE_HOME=$work/home;--name-case a
--rows-per-insert;MERVALE_HOME=$work/home;--rows
;MERVALE_HOME=$work/home;--table ''
EOF
    # A configuration file is offered as the argument, other files are not.
    touch "$work/shop.mvl" "$work/shop.sql"
    got=$(cd "$work" && complete_line mervale-batch sh | paste -sd'|')
    [ "$got" = "shop.mvl" ] || fail "completing a configuration file: got '$got', expected 'shop.mvl'"
    ;;
  *)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac

if [ "$failures" -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "$mode: all agree"
