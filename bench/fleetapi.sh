#!/usr/bin/env bash
# The fleet service at full size: N projectors on one simulator, the console watching them every 5 s and
# serving HTTP, its /metrics scraped every second, GET /api/projectors every second and one reader of
# GET /api/events all along. Prints the console's CPU as a share of one core, its peak RSS, the scrape and
# GET /api/projectors times (median and max), the events read, and a press from POST to its bytes on the
# simulator's line, each against its goal. What needs the control API is "n/a" on a console without it.
# Usage: bench/fleetapi.sh [BUILD_DIR [N [SECONDS]]]      (default: build 1000 60)
set -euo pipefail
build=${1:-build}
count=${2:-1000}
duration=${3:-60}
period=5 # --watch takes seconds
settle=$((2 * period))
goal_cpu=5 goal_rss_mb=150 goal_ms=20
source "$(dirname "$0")/lib.sh"

# A URL's time in seconds, or its status when it is not 200.
timed_get() { curl -s --compressed -o /dev/null -w '%{http_code} %{time_total}\n' "$1" || true; }
# Median and max in ms of the times of the 200s in a file of "status seconds" lines, or n/a.
median_max() { awk '$1 == 200 { print $2 }' "$1" >"$1.ok" && median_max_ms "$1.ok"; }
# Seconds since midnight of an HH:MM:SS.fff time.
seconds_of_day() { awk -v t="$1" 'BEGIN { split(t, f, ":"); printf "%.3f", f[1] * 3600 + f[2] * 60 + f[3] }'; }

start_simulators "$build" "$count" "projector-%d"

# The token file only where the console takes one: without the control API the rest still runs.
console_options=(--fleet "$work/fleet" --watch "$period" --http 127.0.0.1:0)
help=$("$build/src/tavo-console" --help)
if grep -q -- --http-token-file <<<"$help"; then
    (umask 077 && head -c 24 /dev/urandom | od -An -tx1 | tr -d ' \n' >"$work/token")
    console_options+=(--http-token-file "$work/token")
fi
"$build/src/tavo-console" "${console_options[@]}" >/dev/null 2>"$work/console.err" &
console=$!
pids+=("$console")
for _ in $(seq 100); do
    # "metrics on http://HOST:PORT/metrics, the fleet's page and API on ...": the origin.
    url=$(grep -o 'http://[^ ,]*/metrics' "$work/console.err" | head -1 | sed 's|/metrics$||') || true
    [ -n "$url" ] && break
    sleep 0.1
done
[ -n "$url" ] || { echo "the console did not say where it serves:" >&2; cat "$work/console.err" >&2; exit 1; }

curl -s -N -D "$work/events.headers" -o "$work/events" "$url/api/events" &
pids+=($!)
sleep "$settle"

: >"$work/scrapes"
: >"$work/projectors"
start_ticks=$(cpu_ticks "$console")
start=$(now)
for second in $(seq "$duration"); do
    timed_get "$url/metrics" >>"$work/scrapes"
    timed_get "$url/api/projectors" >>"$work/projectors"
    # The next a second after this one was due.
    sleep "$(awk -v s="$start" -v n="$second" -v t="$(now)" 'BEGIN { d = s + n - t; print (d > 0 ? d : 0) }')"
done
ticks=$(($(cpu_ticks "$console") - start_ticks))
elapsed=$(awk -v s="$start" -v t="$(now)" 'BEGIN { print t - s }')

# One press, its POST's time against the moment the simulator logs its command arriving.
press="n/a" answered="n/a"
if [ -f "$work/token" ]; then
    first=$(head -1 "$work/endpoints")
    sent=$(date +%T.%N)
    status=$(echo "Authorization: Bearer $(cat "$work/token")" |
        curl -s -o "$work/press" -w '%{http_code} %{time_total}' -H @- -H 'Content-Type: application/json' \
            --data '{}' "$url/api/projectors/projector-1/press/power_on")
    sleep 1
    arrived=$(awk -v e="$first" '$1 == e && / RX C 0 0 CR / { print $2; exit }' "$work/simulator.log")
    if [ "${status%% *}" = 200 ] && [ -n "$arrived" ]; then
        press=$(awk -v a="$(seconds_of_day "$arrived")" -v s="$(seconds_of_day "$sent")" 'BEGIN { printf "%.1f", (a - s) * 1000 }')
        answered=$(awk -v t="${status#* }" 'BEGIN { printf "%.1f", t * 1000 }')
    else
        echo "  the press was answered ${status%% *} and $([ -n "$arrived" ] && echo "reached" || echo "did not reach") the line: $(head -c 200 "$work/press")"
    fi
fi
peak_rss=$(awk '/^VmHWM:/ { print $2 }' "/proc/$console/status")
events="n/a"
kill "${pids[@]}" 2>/dev/null || true
wait 2>/dev/null || true
pids=()
if head -1 "$work/events.headers" 2>/dev/null | grep -q ' 200'; then
    events=$(grep -c '^data:' "$work/events" || true)
fi

read -r scrape_median scrape_max < <(median_max "$work/scrapes")
read -r api_median api_max < <(median_max "$work/projectors")
verdict() { awk -v v="$1" -v g="$2" 'BEGIN { print (v == "n/a" ? "" : (v + 0 < g ? "ok" : "over")) }'; }
cpu=$(cpu_share "$ticks" "$elapsed")
rss=$(awk -v k="$peak_rss" 'BEGIN { printf "%.1f", k / 1024 }')

echo "$count projectors, --watch $period, $duration s measured after $settle s"
printf "%-34s %10s %10s %6s\n" "" value goal ""
printf "%-34s %9s%% %9s%% %6s\n" "console CPU (share of one core)" "$cpu" "$goal_cpu" "$(verdict "$cpu" "$goal_cpu")"
printf "%-34s %10s %10s %6s\n" "console peak RSS MB" "$rss" "$goal_rss_mb" "$(verdict "$rss" "$goal_rss_mb")"
printf "%-34s %10s %10s %6s\n" "scrape median ms" "$scrape_median" "$goal_ms" "$(verdict "$scrape_median" "$goal_ms")"
printf "%-34s %10s %10s %6s\n" "scrape max ms" "$scrape_max" "$goal_ms" "$(verdict "$scrape_max" "$goal_ms")"
printf "%-34s %10s %10s %6s\n" "GET /api/projectors median ms" "$api_median" "$goal_ms" "$(verdict "$api_median" "$goal_ms")"
printf "%-34s %10s %10s %6s\n" "GET /api/projectors max ms" "$api_max" "$goal_ms" "$(verdict "$api_max" "$goal_ms")"
printf "%-34s %10s\n" "events read from /api/events" "$events"
printf "%-34s %10s\n" "press: POST to bytes on the line ms" "$press"
printf "%-34s %10s\n" "press: POST to its answer ms" "$answered"
grep -v 'on http' "$work/console.err" | sed 's/^/  console: /' | head -5 || true
