#!/usr/bin/env bash
# 200 status queries to a simulated projector that answers at once: through one --script connection,
# and as 200 separate --send runs that each open the line. Prints queries per second and the ratio.
# Usage: bench/scriptrate.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
queries=200
simulator_out=$(mktemp)
"$build/src/tavo-projector-sim" --listen 127.0.0.1:0 --delay 0 > "$simulator_out" &
simulator=$!
trap 'kill $simulator 2>/dev/null; rm -f "$simulator_out"' EXIT
for _ in $(seq 50); do
    endpoint=$(head -n 1 "$simulator_out")
    [ -n "$endpoint" ] && break
    sleep 0.1
done
[ -n "$endpoint" ] || { echo "scriptrate: the simulator did not start" >&2; exit 1; }

seconds() { date +%s.%N; }
start=$(seconds)
for _ in $(seq "$queries"); do echo CR0; done |
    "$build/src/tavo-console" --com1 "$endpoint" --script - > /dev/null
script_time=$(awk -v a="$(seconds)" -v b="$start" 'BEGIN { print a - b }')

start=$(seconds)
for _ in $(seq "$queries"); do
    "$build/src/tavo-console" --com1 "$endpoint" --send CR0 > /dev/null
done
send_time=$(awk -v a="$(seconds)" -v b="$start" 'BEGIN { print a - b }')

awk -v n="$queries" -v s="$script_time" -v e="$send_time" 'BEGIN {
    printf "%d queries through one --script: %.2f s, %.0f queries/s\n", n, s, n / s
    printf "%d separate --send runs:          %.2f s, %.0f queries/s\n", n, e, n / e
    printf "one connection is %.1f times as fast\n", e / s
}'
