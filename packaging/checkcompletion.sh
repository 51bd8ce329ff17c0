#!/usr/bin/env bash
# checkcompletion.sh COMPLETION PROGRAM: completing the last word after PROGRAM offers what it should.
source "$1"
expect()
{
    COMP_WORDS=("$program" "${@:2}")
    COMP_CWORD=$(($# - 1))
    _tavo_console "$program" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" 2>/dev/null
    [[ ${COMPREPLY[*]} == "$1" ]] || { echo "'${*:2}' offers '${COMPREPLY[*]}', not '$1'" && failed=1; }
}
program=$2 failed=0
expect "--com1 --com2" --co
expect "rfc2217://" --com1 r
expect "mqtts://" --mqtt mqtts
exit $failed
