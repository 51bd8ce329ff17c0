#!/usr/bin/env bash
# checkcompletion.sh COMPLETION PROGRAM SIM_COMPLETION SIM_PROGRAM: completing the last word after the
# console or the simulator offers what it should.
source "$1"
source "$3"
expect()
{
    COMP_WORDS=("$program" "${@:2}")
    COMP_CWORD=$(($# - 1))
    $completion "$program" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" 2>/dev/null
    [[ ${COMPREPLY[*]} == "$1" ]] || { echo "'${*:2}' offers '${COMPREPLY[*]}', not '$1'" && failed=1; }
}
program=$2 completion=_tavo_console failed=0
help=$("$program" --help)

expect "--com1 --com2" --co
expect "rfc2217://" --com1 r
expect "auto" --com2 a

files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
touch "$files/hall.fleet" "$files/hall.script" "$files/other"
for option in --script --log --fleet --mqtt-ca --mqtt-password-file --http-token-file --pjlink-password-file; do
    expect "$files/hall.fleet $files/hall.script" $option "$files/hall"
done

expect 'CR0 CR1 CR3 CR4 CR6 CR7 CR9 CRA CR\ PRESSURE' --watch 5 --query ""
expect 'CR\ PRESSURE' --query 'CR\ P'
expect "CRA" --query CRA
# The codes offered are those --help names.
for code in CR0 CR1 CR3 CR4 CR6 CR7 CR9 CRA "CR PRESSURE"; do
    [[ $(tr -s ' \n' ' ' <<<"$help") == *"$code"* ]] || { echo "--help does not name $code" && failed=1; }
done

expect "mqtt:// mqtts://" --mqtt ""
expect "mqtts://" --mqtt mqtts
expect "none" --mqtt-discovery ""

expect "9600 19200" --speed ""
expect "19200" --speed 1

# Every other option that takes a value (--watch, --wait, --log-max, --send, --gap ...) gets nothing: no
# list knows a number, a text or a URL.
for option in $(grep -o -- '--[a-z0-9-]* <' <<<"$help" | tr -d '<'); do
    case $option in
    --com1 | --com2 | --script | --log | --fleet | --mqtt | --mqtt-ca | --mqtt-password-file | --http-token-file | --pjlink-password-file | \
        --mqtt-discovery | --query | --speed) ;;
    *) expect "" $option "" ;;
    esac
done
expect "" --http ""
expect "--http --http-allow-send --http-token-file" --htt
expect "--json" --simulate --js

# The simulator: its options, and nothing after one that takes a value.
program=$4 completion=_tavo_projector_sim
expect "--delay --drop-every" --d
expect "--listen" --l
expect "--cool-down --count" --c
for option in --listen --count --delay --pieces --piece-gap --drop-every --noise --warm-up --cool-down; do
    expect "" $option ""
done
expect "--verbose --version" --count 2 --ver
exit $failed
