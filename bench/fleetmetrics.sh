#!/usr/bin/env bash
# The fleet watch and its metrics under load: N projectors on one simulator, the console watching them
# every 5 s and serving --metrics, scraped every second for 60 s. Prints for each N the console's CPU
# as a share of one core, its largest RSS, how late rounds started (the latest round of any projector,
# and the worst of the run; measured where the simulator receives each round's first query), and the
# scrape time (median and max, through curl asking for gzip as Prometheus does).
# Usage: bench/fleetmetrics.sh [BUILD_DIR [N ...]]      (default: build 10 100 500)
set -euo pipefail
build=${1:-build}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10 100 500)
period=5
duration=60
metrics_port=${METRICS_PORT:-19877}
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

printf "%-10s %10s %9s %14s %14s %13s %11s\n" projectors "CPU/core" "RSS MB" "latest late s" "worst late s" "scrape med ms" "scrape max ms"
for n in "${counts[@]}"; do
    : > "$work/endpoints"
    "$build/src/tavo-projector-sim" --listen 127.0.0.1:0 --count "$n" --verbose \
        > "$work/endpoints" 2> "$work/simulator.log" &
    simulator=$!
    pids+=("$simulator")
    for _ in $(seq 100); do
        [ "$(wc -l < "$work/endpoints")" -ge "$n" ] && break
        sleep 0.1
    done
    awk '{ print "projector-" NR, $1 }' "$work/endpoints" > "$work/fleet"

    "$build/src/tavo-console" --fleet "$work/fleet" --watch "$period" --metrics "$metrics_port" \
        > /dev/null 2> "$work/console.err" &
    console=$!
    pids+=("$console")
    sleep 1

    : > "$work/scrapes"
    max_rss=0
    start_ticks=$(cpu_ticks "$console")
    start=$(now)
    for second in $(seq "$duration"); do
        curl -s --compressed -o /dev/null -w '%{time_total}\n' "http://127.0.0.1:$metrics_port/metrics" >> "$work/scrapes"
        rss=$(rss_kib "$console")
        [ "$rss" -gt "$max_rss" ] && max_rss=$rss
        # The next scrape a second after this one was due.
        sleep "$(awk -v s="$start" -v n="$second" -v t="$(now)" 'BEGIN { d = s + n - t; print (d > 0 ? d : 0) }')"
    done
    ticks=$(( $(cpu_ticks "$console") - start_ticks ))
    elapsed=$(awk -v s="$start" -v t="$(now)" 'BEGIN { print t - s }')
    kill "$console" "$simulator"
    wait "$console" "$simulator" 2>/dev/null || true
    pids=()

    # Each projector's rounds: when its first query arrived, against its first round and the period.
    lateness=$(awk -v period="$period" '
        / RX C R 0 CR / {
            split($2, hms, ":"); at = hms[1] * 3600 + hms[2] * 60 + hms[3]
            if (!($1 in first)) { first[$1] = at; rounds[$1] = 0 }
            late = at - (first[$1] + rounds[$1] * period)
            if (late > worst) worst = late
            last[$1] = late; rounds[$1]++
        }
        END {
            for (p in last) if (last[p] > latest) latest = last[p]
            printf "%.3f %.3f", latest, worst
        }' "$work/simulator.log")
    scrape=$(sort -n "$work/scrapes" | awk '{ v[NR] = $1 } END { printf "%.1f %.1f", v[int((NR + 1) / 2)] * 1000, v[NR] * 1000 }')
    awk -v n="$n" -v ticks="$ticks" -v hz="$(getconf CLK_TCK)" -v elapsed="$elapsed" -v rss="$max_rss" \
        -v late="$lateness" -v scrape="$scrape" 'BEGIN {
        split(late, l, " "); split(scrape, s, " ")
        printf "%-10d %9.1f%% %9.1f %14s %14s %13s %11s\n", n, 100 * ticks / hz / elapsed, rss / 1024, l[1], l[2], s[1], s[2]
    }'
    grep -v 'metrics on http' "$work/console.err" | sed 's/^/  console: /' | head -5 || true
done
