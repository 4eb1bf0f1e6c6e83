#!/usr/bin/env bash
# Builds Pelorin and runs it on this display against the simulated reader: a reader on COM3 with
# five blank tags. The simulator stops when the window closes.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset default
cmake --build --preset default --target pelorin pelorin-readersim

work=$(mktemp -d)
source scripts/readersim.sh
start_readersim build/bin/pelorin-readersim

# Only COM3 exists for this run, whatever serial devices the machine has.
export CORVANEL_COM3="$work/com3"
build/bin/pelorin
