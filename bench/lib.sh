# What the fleet benchmarks share, sourced after their arguments are read: a work directory and the
# processes to stop, both cleaned up at exit (KEEP=1 keeps the directory); the clock, a process's CPU
# and memory; simulated projectors and a fleet file naming them.
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ -n "${KEEP:-}" ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

now() { date +%s.%N; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
# The share of one core, in per cent, of CPU ticks over seconds.
cpu_share() { awk -v t="$1" -v hz="$(getconf CLK_TCK)" -v e="$2" 'BEGIN { printf "%.1f", 100 * t / hz / e }'; }
# Median and max in ms of a file of seconds, one a line; "n/a n/a" when it has none.
median_max_ms() {
    sort -n "$1" |
        awk '{ v[NR] = $1 } END { if (NR) printf "%.1f %.1f\n", v[int((NR + 1) / 2)] * 1000, v[NR] * 1000; else print "n/a n/a" }'
}

# start_simulators BUILD COUNT NAME_FORMAT: one simulator serving COUNT projectors on free ports, each line
# it receives logged with its time in $work/simulator.log, their endpoints in $work/endpoints and a fleet
# file $work/fleet naming them by NAME_FORMAT (printf, with the projector's number); sets $simulator.
start_simulators() {
    local build=$1 count=$2 format=$3
    "$build/src/tavo-projector-sim" --listen 127.0.0.1:0 --count "$count" --verbose \
        >"$work/endpoints" 2>"$work/simulator.log" &
    simulator=$!
    pids+=("$simulator")
    for _ in $(seq 300); do
        [ "$(wc -l <"$work/endpoints")" -ge "$count" ] && break
        sleep 0.1
    done
    [ "$(wc -l <"$work/endpoints")" -ge "$count" ] ||
        { echo "$(wc -l <"$work/endpoints") of $count simulated projectors started" >&2; cat "$work/simulator.log" >&2; exit 1; }
    awk -v f="$format" '{ printf f " %s\n", NR, $1 }' "$work/endpoints" >"$work/fleet"
}
