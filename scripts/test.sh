#!/usr/bin/env bash
# The whole test suite on a fresh machine: install what is missing, then configure, build and
# run every test, once in the default build and once under the address and UB sanitizers; then
# fuzz the reader's answer handling for a bounded time; then cross-build for Windows and run those
# tests under Wine; last, install the default build into a staging directory and run the
# installed program against the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

# The fuzz preset builds only the fuzz targets (clang) and runs them instead of ctest. New inputs go
# to a corpus in the build directory; the committed seeds stay as they are.
run_fuzz() {
    local corpus=build-fuzz/corpus
    mkdir -p "$corpus"
    build-fuzz/bin/reader_answer_fuzz -max_total_time=45 -timeout=10 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/ "$corpus" tests/fuzz/corpus
}

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan fuzz windows)
for preset in "${presets[@]}"; do
    echo "=== $preset"
    if [ "$preset" = windows ]; then
        # The Windows tests talk to the Linux reader simulator of the default build.
        cmake --preset default >/dev/null
        cmake --build --preset default --target pelorin-readersim
    fi
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    if [ "$preset" = fuzz ]; then
        run_fuzz
    else
        ctest --preset "$preset"
    fi
done

# The installed layout: stage an install of the default build and drive the staged program on a
# virtual display against the staged simulator.
if [[ " ${presets[*]} " == *" default "* ]]; then
    echo "=== install"
    scripts/install-test.sh build
fi
