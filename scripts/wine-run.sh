#!/usr/bin/env bash
# Runs a program of the Windows build under Wine; the toolchain file makes this the build's
# emulator, so ctest runs the test programs through it. Usage: wine-run.sh <build>/bin/X.exe [args]
#
# The Wine prefix lives in the build directory (<build>/wineprefix) and is made on first use:
# 64-bit, COM1 and COM2 absent, COM3 to COM11 the links <build>/readersim/comN, which
# scripts/windows-readers.sh points at simulated readers. Wine reads the port map from the
# registry when it starts, and replaces any hand-made link in dosdevices then. Windows open on
# a Wine desktop (title bars and caption buttons drawn by Wine) on the display that
# scripts/windows-readers.sh started, with the dialogs' Song face mapped to an installed CJK face.
set -euo pipefail

program=$1
shift
build=$(cd "$(dirname "$program")/.." && pwd)
export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
# No .NET or HTML engine: without this the first start offers to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Bumped whenever make_prefix changes, so that an older prefix is made anew.
prefix_version=3
display_file="$build/readersim/display"
if [ -s "$display_file" ]; then
    export DISPLAY=":$(cat "$display_file")"
fi

make_prefix() {
    rm -rf "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    ln -sf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
    {
        printf '\xff\xfe'
        printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
            '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
            '"宋体"="WenQuanYi Zen Hei"' '"SimSun"="WenQuanYi Zen Hei"' '' \
            '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
            '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x900"' '' |
            iconv -f UTF-8 -t UTF-16LE
    } >"$build/wine-desktop.reg"
    (cd "$build" && wine regedit /S wine-desktop.reg >/dev/null 2>&1)
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
    echo "$prefix_version" >"$WINEPREFIX/.pelorin-ready"
}

{
    flock 9
    [ "$(cat "$WINEPREFIX/.pelorin-ready" 2>/dev/null)" = "$prefix_version" ] || make_prefix 9>&-
    # One server for a whole test run, so that each program does not start Wine's services anew;
    # it stays a minute after its last program (scripts/windows-readers.sh stops it at once).
    # The first program on a new server starts the services, which inherit its output: started
    # here with output to nowhere, they cannot keep ctest waiting for the end of a test's output.
    if wineserver -p60 9>&- >/dev/null 2>&1; then
        wine cmd /c exit 9>&- >/dev/null 2>&1
    fi
} 9>"$build/wineprefix.lock"

exec wine "$program" "$@"
