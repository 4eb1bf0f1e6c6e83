#!/usr/bin/env bash
# Builds Pelorin and runs it on this display against the simulated reader: a reader on COM3 with
# five blank tags. The simulator stops when the window closes.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset default
cmake --build --preset default --target pelorin pelorin-readersim

work=$(mktemp -d)
sim_pid=
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

build/bin/pelorin-readersim --port 3 --tags 5 --link "$work/com3" >"$work/readersim.out" &
sim_pid=$!
for _ in $(seq 50); do
    [ -e "$work/com3" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/readersim.out" >&2; exit 1; }
    sleep 0.1
done
[ -e "$work/com3" ] || { echo "run.sh: the reader simulator did not start" >&2; exit 1; }

# Only COM3 exists for this run, whatever serial devices the machine has.
export CORVANEL_COM3="$work/com3"
build/bin/pelorin
