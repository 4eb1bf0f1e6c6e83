#!/usr/bin/env bash
# The readers of the Windows tests: Linux reader simulators on pseudo-terminals, linked at
# <build>/readersim/comN, which the Wine prefix of scripts/wine-run.sh maps to COMn. A simulator
# in another process keeps the fault it was started with, so each behaviour has a port of its own.
# Also a virtual X display for the window tests; scripts/wine-run.sh finds it in <build>/readersim.
# Usage: windows-readers.sh start <build> <pelorin-readersim> | stop <build>
set -euo pipefail

action=$1
build=$2
dir="$build/readersim"

# port: simulator options. Wine's 20 ms read time-out runs late on a busy machine, so the pause
# of the two-bursts reader is well above it.
readers=(
    "3:--tags 1"
    "4:--no-tag"
    "5:--fault silent"
    "6:--fault two-bursts --burst-gap-ms 80"
    "7:--fault stale-bytes"
    "8:--fault overlong"
    "9:--fault short"
    "10:--fault status"
)

stop() {
    if [ -f "$dir/pids" ]; then
        while read -r pid; do
            kill "$pid" 2>/dev/null || true
        done <"$dir/pids"
        rm -f "$dir/pids"
    fi
    rm -f "$dir/display"
    if [ -d "$build/wineprefix" ]; then
        WINEPREFIX="$build/wineprefix" wineserver --kill 2>/dev/null || true
    fi
}

# await <file> <log> <what>: waits up to five seconds for a non-empty file or a link; stops
# everything with the log shown when it does not come.
await() {
    for _ in $(seq 50); do
        { [ -L "$1" ] || [ -s "$1" ]; } && return 0
        sleep 0.1
    done
    cat "$2" >&2
    echo "windows-readers.sh: $3 did not start" >&2
    stop
    exit 1
}

case $action in
start)
    simulator=${3:-}
    if [ ! -x "$simulator" ]; then
        echo "windows-readers.sh: no reader simulator at '$simulator'; build pelorin-readersim" \
            "of the default preset first (scripts/test.sh does)" >&2
        exit 1
    fi
    stop
    mkdir -p "$dir"
    for reader in "${readers[@]}"; do
        port=${reader%%:*}
        read -ra options <<<"${reader#*:}"
        rm -f "$dir/com$port"
        "$simulator" --link "$dir/com$port" "${options[@]}" >"$dir/com$port.log" 2>&1 &
        echo $! >>"$dir/pids"
    done
    # Xvfb picks a free display and writes its number once it takes clients.
    Xvfb -displayfd 3 -screen 0 1024x900x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    echo $! >>"$dir/pids"
    for reader in "${readers[@]}"; do
        port=${reader%%:*}
        await "$dir/com$port" "$dir/com$port.log" "the reader on COM$port"
    done
    await "$dir/display" "$dir/xvfb.log" "the virtual display"
    ;;
stop)
    stop
    ;;
*)
    echo "usage: $0 start <build> <pelorin-readersim> | stop <build>" >&2
    exit 2
    ;;
esac
