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
source "$(dirname "$0")/lib.sh"

printf "%-10s %10s %9s %14s %14s %13s %11s\n" projectors "CPU/core" "RSS MB" "latest late s" "worst late s" "scrape med ms" "scrape max ms"
for n in "${counts[@]}"; do
    start_simulators "$build" "$n" "projector-%d"

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
    scrape=$(median_max_ms "$work/scrapes")
    awk -v n="$n" -v cpu="$(cpu_share "$ticks" "$elapsed")" -v rss="$max_rss" \
        -v late="$lateness" -v scrape="$scrape" 'BEGIN {
        split(late, l, " "); split(scrape, s, " ")
        printf "%-10d %9.1f%% %9.1f %14s %14s %13s %11s\n", n, cpu, rss / 1024, l[1], l[2], s[1], s[2]
    }'
    grep -v 'metrics on http' "$work/console.err" | sed 's/^/  console: /' | head -5 || true
done
