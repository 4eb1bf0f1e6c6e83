#!/usr/bin/env bash
# Runs a program of the Windows build under Wine; the toolchain file makes this the build's
# emulator, so ctest runs the test programs through it. Usage: wine-run.sh <build>/bin/X.exe [args]
#
# The Wine prefix lives in the build directory (<build>/wineprefix) and is made on first use:
# 64-bit, COM1 and COM2 absent, COM3 to COM11 the links <build>/readersim/comN, which
# scripts/windows-readers.sh points at simulated readers. Wine reads the port map from the
# registry when it starts, and replaces any hand-made link in dosdevices then.
set -euo pipefail

program=$1
shift
build=$(cd "$(dirname "$program")/.." && pwd)
export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
# No .NET or HTML engine: without this the first start offers to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="

make_prefix() {
    rm -rf "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    {
        printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
        printf '"COM%d"=""\n' 1 2
        for n in $(seq 3 11); do
            printf '"COM%d"="%s"\n' "$n" "$build/readersim/com$n"
        done
    } >"$build/wine-ports.reg"
    (cd "$build" && wine regedit /S wine-ports.reg >/dev/null 2>&1)
    # The port map takes effect at the next start.
    wineserver --kill
    touch "$WINEPREFIX/.pelorin-ready"
}

{
    flock 9
    [ -f "$WINEPREFIX/.pelorin-ready" ] || make_prefix 9>&-
    # One server for a whole test run, so that each program does not start Wine's services anew;
    # it stays a minute after its last program (scripts/windows-readers.sh stops it at once).
    # The first program on a new server starts the services, which inherit its output: started
    # here with output to nowhere, they cannot keep ctest waiting for the end of a test's output.
    if wineserver -p60 9>&- >/dev/null 2>&1; then
        wine cmd /c exit 9>&- >/dev/null 2>&1
    fi
} 9>"$build/wineprefix.lock"

exec wine "$program" "$@"
