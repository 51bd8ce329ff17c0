#!/bin/bash
# Drives the console under a real X server and window manager and checks the outer window heights:
# compact at start, the service area after Ctrl+J, full after a double-click on the picture,
# compact after "CLOSE", and no change for a double-click once the service area is left.
# Needs: xvfb openbox xdotool x11-utils (apt-get install). Usage: tools/realwindow-check.sh [build dir]
set -u
build=${1:-build}
export DISPLAY=:77
Xvfb $DISPLAY -screen 0 1280x1024x24 >/dev/null 2>&1 &
server=$!
sleep 1
openbox >/dev/null 2>&1 &
wm=$!
"$build/src/tavo-console" --simulate 2>/dev/null &
console=$!
trap 'kill $console $wm $server 2>/dev/null' EXIT

window=$(xdotool search --sync --onlyvisible --name "TAVO" | head -1)
failures=0
expect() { # name, outer height in twips
    sleep 0.5
    local inner frame outer
    inner=$(xwininfo -id "$window" | awk '/Height:/ {print $2}')
    frame=$(xprop -id "$window" _NET_FRAME_EXTENTS | awk -F'[=,]' '{print $4 + $5}')
    outer=$((inner + frame))
    local wanted=$(($2 / 15))
    if ((outer < wanted - 1 || outer > wanted + 1)); then
        echo "FAIL $1: outer height $outer px, wanted $wanted px ($2 twips)"
        failures=$((failures + 1))
    else
        echo "ok   $1: outer height $outer px ($inner inside, $frame frame)"
    fi
}
# Centres of Image1 and Command34 inside the window, from the control table at 15 twips per pixel.
doubleClickPicture() { xdotool mousemove --window "$window" 584 21 click --repeat 2 --delay 80 1; }

expect "start" 5350
xdotool windowactivate --sync "$window" key --window "$window" ctrl+j
expect "Ctrl+J" 7200
doubleClickPicture
expect "picture double-click" 9100
xdotool mousemove --window "$window" 480 348 click 1
expect "CLOSE" 5350
doubleClickPicture
expect "double-click after CLOSE" 5350
exit $((failures > 0))
