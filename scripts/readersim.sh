# Sourced by the scripts that run Pelorin against the simulated reader: starts
# pelorin-readersim as a reader on COM3 with five blank tags, linked at "$work/com3", and stops it
# and removes "$work" when the calling script exits. A written tag stays 100 ms before the next one
# is laid on, so that verify after write can read it back.
# Usage: work=$(mktemp -d); start_readersim <pelorin-readersim>

sim_pid=
stop_readersim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}

start_readersim() {
    trap stop_readersim EXIT
    "$1" --port 3 --tags 5 --lift-ms 100 --link "$work/com3" >"$work/readersim.out" &
    sim_pid=$!
    for _ in $(seq 50); do
        [ -e "$work/com3" ] && return 0
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$work/readersim.out" >&2
    echo "$(basename "$0"): the reader simulator did not start" >&2
    exit 1
}
