#!/usr/bin/env bash
# A fleet of simulated projectors watched every 5 s by one console, without and then with MQTT to one
# local mosquitto: the console's CPU (share of one core) and RSS over the same minute, the MQTT messages
# per second in the first round and when idle, and a press's latency from the broker to its bytes on the
# simulated line (median, max).
# Usage: bench/mqttfleet.sh [BUILD_DIR] [PROJECTORS]
set -euo pipefail
build=$(realpath "${1:-build}")
count=${2:-500}
period=5
# Until the first round is over for every projector: a fleet of 500 took 26 s to open its lines.
settle=40
window=45
presses=20
source "$(dirname "$0")/lib.sh"

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# The simulators: one process serving every projector, each on a free port of its own, each line logged with its time.
start_simulators "$build" "$count" "p%03d"

# The console's CPU and RSS over the window after it settled; prints "cpu% rss".
measure() {
    local pid=$1
    sleep "$settle"
    local t0 c0
    t0=$(now); c0=$(cpu_ticks "$pid")
    sleep "$window"
    echo "$(cpu_share "$(($(cpu_ticks "$pid") - c0))" "$(awk -v a="$(now)" -v b="$t0" 'BEGIN { print a - b }')")" \
        "$(awk -v k="$(rss_kib "$pid")" 'BEGIN { printf "%.1f", k / 1024 }')"
}

"$build/src/tavo-console" --fleet "$work/fleet" --watch "$period" > /dev/null 2> "$work/plain.err" &
plain=$!
pids+=($plain)
read -r plain_cpu plain_rss <<< "$(measure "$plain")"
kill "$plain"; wait "$plain" 2>/dev/null || true

broker_port=$(free_port)
printf 'listener %s 127.0.0.1\npersistence false\nallow_anonymous true\nuser %s\n' "$broker_port" "$(id -un)" \
    > "$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" > "$work/mosquitto.log" 2>&1 &
pids+=($!)
sleep 0.5
mosquitto_sub -p "$broker_port" -t '#' -F '%U %t' > "$work/messages" &
pids+=($!)
mosquitto_sub -p "$broker_port" -t 'tavo/+/press' -F '%U %t' > "$work/presses" &
pids+=($!)
sleep 0.5
"$build/src/tavo-console" --fleet "$work/fleet" --watch "$period" --mqtt "mqtt://127.0.0.1:$broker_port" \
    > /dev/null 2> "$work/mqtt.err" &
mqtt=$!
pids+=($mqtt)
read -r mqtt_cpu mqtt_rss <<< "$(measure "$mqtt")"
measured=$(now)

# Presses of display_clear (C1E), one a second, each to another projector.
for i in $(seq "$presses"); do
    mosquitto_pub -p "$broker_port" -t "tavo/$(printf 'p%03d' $(( (i * 37) % count + 1 )))/press" -m display_clear
    sleep 1
done
sleep 1

awk -v period="$period" -v from="$(awk -v m="$measured" -v w="$window" 'BEGIN { printf "%.3f", m - w }')" \
    -v to="$measured" '
    !f0 { f0 = $1 }
    $1 < f0 + period { first++; f1 = $1 }
    $1 >= from && $1 < to { idle++ }
    END {
        burst = f1 - f0; if (burst <= 0) burst = 1
        printf "first round: %d messages in %.2f s, %.0f messages/s\n", first, burst, first / burst
        printf "idle: %.2f messages/s over %d s\n", idle / (to - from), to - from
    }' "$work/messages"

# Each press's time at the broker against its bytes' time on the simulated line (the time stands before RX).
grep ' RX C 1 E CR' "$work/simulator.log" | awk '{ for (i = 1; i < NF; i++) if ($(i + 1) == "RX") print $i }' |
    while read -r clock; do
        date -d "today $clock" +%s.%N
    done > "$work/arrivals"
paste <(awk '{ print $1 }' "$work/presses") "$work/arrivals" | awk 'NF == 2 { printf "%.1f\n", ($2 - $1) * 1000 }' |
    sort -n | awk '
    { latency[++n] = $1 }
    END {
        if (n == 0) { print "press latency: no press reached the line"; exit }
        printf "press latency over %d presses: median %.1f ms, max %.1f ms\n", n, latency[int((n + 1) / 2)], latency[n]
    }'

echo "console without MQTT: CPU ${plain_cpu}% of a core, RSS ${plain_rss} MB"
echo "console with MQTT:    CPU ${mqtt_cpu}% of a core, RSS ${mqtt_rss} MB"
echo "$count projectors, --watch $period, measured over ${window} s after ${settle} s"
