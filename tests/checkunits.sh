#!/usr/bin/env bash
# checkunits.sh PROGRAM UNIT...: systemd loads each unit without a finding, with PROGRAM in the place of the
# installed console. A template (NAME@.service, NAME@.timer) is loaded as the instance NAME@example. A guide
# (GUIDE.md) given after a unit is the drop-in it shows: its first block that begins with [Service].
set -euo pipefail
program=$1
shift
dir=$(mktemp -d)
trap 'rm -r "$dir"' EXIT
units=()
for unit in "$@"; do
    if [[ $unit == *.md ]]; then
        dropin="${units[-1]}.d/$(basename "$unit" .md).conf"
        mkdir -p "$(dirname "$dropin")"
        awk '/^\[Service\]$/ { on = 1 } on && /^```$/ { exit } on' "$unit" |
            sed "s|/usr/bin/tavo-console|$program|" >"$dropin"
        [ -s "$dropin" ] || { echo "$unit shows no [Service] drop-in"; exit 1; }
        continue
    fi
    name=$(basename "$unit")
    name=${name/@./@example.}
    sed "s|/usr/bin/tavo-console|$program|" "$unit" >"$dir/$name"
    units+=("$dir/$name")
done
# systemd-analyze exits 0 for most findings: any word from it fails.
status=0
findings=$(systemd-analyze verify --man=no "${units[@]}" 2>&1) || status=$?
if [ -n "$findings" ] || [ "$status" != 0 ]; then
    echo "$findings"
    exit 1
fi
