#!/usr/bin/env bash
# The whole test suite on a fresh machine: install what is missing, then configure, build and
# run every test, once in the default build and once under the address and UB sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan)
for preset in "${presets[@]}"; do
    echo "=== $preset"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
