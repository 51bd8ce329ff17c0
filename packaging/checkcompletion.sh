#!/usr/bin/env bash
# checkcompletion.sh COMPLETION PROGRAM: the completion offers what tavo-console takes, as PROGRAM says.
set -u
source "$1"
program=$2
failed=0

# expect WORDS... = OFFERED: completing the last of WORDS offers exactly OFFERED (sorted, one space).
expect()
{
    local offered=$1
    shift
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _tavo_console "$program" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
    if [[ $got != "$offered" ]]; then
        echo "completing '$*': expected '$offered', got '$got'"
        failed=1
    fi
}

expect "--com1 --com2" --co
expect "rfc2217://" --com1 r
expect "tcp://" --com2 t
expect "9600" --speed 9
exit $failed
