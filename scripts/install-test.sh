#!/usr/bin/env bash
# Installs a build into a staging directory (DESTDIR, prefix /usr), builds the Debian package from
# it and unpacks that too, and in both trees drives the program the way an operator would: started
# through its /usr/bin link, on a virtual X display, against the tree's own reader simulator. It
# must load Corvanel beside its resolved path, find the reader, write a tag from the 11784/11785
# group and log it in its working directory, then close on Esc with status 0.
#
# Usage: scripts/install-test.sh [build-dir]   (default: build, the default preset's directory)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

# The reverse-DNS id that names the desktop entry, the AppStream data and the icons.
app_id=io.github.pelorin.Pelorin
work=$(mktemp -d "${TMPDIR:-/tmp}/pelorin-install-test.XXXXXX")
xvfb_pid=
sim_pid=
app_pid=
run=

stop() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

cleanup() {
    stop "$app_pid"
    stop "$sim_pid"
    stop "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

show_log() {
    [ -s "$2" ] || return 0
    echo "--- $1"
    tail -n 40 "$2"
}

fail() {
    show_log "install" "$work/install.log"
    show_log "package" "$work/cpack.log"
    if [ -n "$run" ]; then
        show_log "simulator" "$run/sim.log"
        show_log "pelorin" "$run/pelorin.log"
    fi
    show_log "Xvfb" "$work/xvfb.log"
    echo "install-test: FAIL: $*"
    exit 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# The simulator's trace lines read "request  address 0000 command 0203 data: 00 00 ...".
sim_saw() { grep -q "command $1 data: ${2:-}" "$run/sim.log"; }
sim_count() { grep -c "command $1 data: " "$run/sim.log" || true; }

# A process that has ended stays a zombie until it is waited for, so look at its state.
app_running() {
    local state
    state=$(sed 's/.*) //' "/proc/$app_pid/stat" 2>/dev/null | cut -c1)
    [ -n "$state" ] && [ "$state" != Z ]
}
app_ended() { ! app_running; }

log_is_written() {
    local files=("$run"/cwd/*.csv)
    [ ${#files[@]} -eq 1 ] && [ -f "${files[0]}" ] && [ "$(wc -l <"${files[0]}")" -ge 2 ]
}

# The layout an operator gets under /usr: links, private directory, desktop files, no run path.
check_tree() {
    local usr=$1 program target file binary size
    for program in pelorin pelorin-readersim; do
        target=$(readlink "$usr/bin/$program") || fail "bin/$program is not a link in $usr"
        [ "$target" = "../lib/pelorin/$program" ] || fail "bin/$program points to $target"
        [ -x "$usr/bin/$program" ] || fail "bin/$program does not resolve to a program in $usr"
    done
    for file in lib/pelorin/libcorvanel.so share/applications/$app_id.desktop \
        share/metainfo/$app_id.metainfo.xml share/icons/hicolor/scalable/apps/$app_id.svg \
        share/man/man1/pelorin.1 share/man/man1/pelorin-readersim.1; do
        [ -f "$usr/$file" ] || fail "$file missing in $usr"
    done
    for size in 16 32 48 128 256; do
        file=share/icons/hicolor/${size}x$size/apps/$app_id.png
        [ "$(identify -format %wx%h "$usr/$file" 2>/dev/null)" = "${size}x$size" ] ||
            fail "$file missing in $usr or not $size px"
    done
    for binary in "$usr"/lib/pelorin/*; do
        if readelf -d "$binary" | grep -Eq '\((RPATH|RUNPATH)\)'; then
            fail "$binary carries a run path"
        fi
    done
}

# Writes 528 000000012345 through the 11784/11785 group of the program under $1/bin.
drive() {
    local usr=$1
    run=$work/run-$2
    mkdir -p "$run/cwd"

    # The tree's simulator: a reader on COM3 with three blank tags.
    "$usr/bin/pelorin-readersim" --port 3 --tags 3 --link "$run/reader" --verbose \
        >"$run/sim.log" 2>&1 &
    sim_pid=$!
    wait_for 20 test -e "$run/reader" || fail "the simulator did not come up"

    # The program through its /usr/bin link, from an empty working directory, COM3 the only port,
    # with settings of its own (verify after write off, as at first).
    (cd "$run/cwd" && XDG_CONFIG_HOME=$run/config CORVANEL_COM3=$run/reader \
        exec "$usr/bin/pelorin") >"$run/pelorin.log" 2>&1 &
    app_pid=$!

    local window
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Pelorin$' | head -n 1) ||
        fail "no window named Pelorin within 60 s"
    [ -n "$window" ] || fail "no window named Pelorin"
    wait_for 30 sim_saw 0101 || fail "the program sent no reader check"
    wait_for 30 sim_saw 0601 || fail "the program did not find the reader (no signal after check)"

    # Type into the group's boxes and press its Write button: the points are the centres of the
    # controls in app/qt/pelorin_dlg.ui.
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool mousemove --window "$window" 86 195 click 1
    sleep 0.3
    xdotool type --delay 50 528
    xdotool mousemove --window "$window" 224 195 click 1
    sleep 0.3
    xdotool type --delay 50 000000012345
    xdotool mousemove --window "$window" 278 247 click 1
    # National 12345 in 40 bits, country 528 in 16 bits, record kind 0, not an animal.
    wait_for 30 sim_saw 0203 "00 00 00 30 39 02 10 00 00" ||
        fail "Write sent no request to write 528 000000012345 to the tag"

    # The write log: one time-stamped file in the working directory, the header and one line.
    wait_for 30 log_is_written || fail "no write log with a line in the working directory"
    local logs=("$run"/cwd/*)
    [ ${#logs[@]} -eq 1 ] || fail "the working directory holds ${#logs[@]} files: ${logs[*]##*/}"
    local log=${logs[0]}
    [[ ${log##*/} =~ ^20[0-9]{12}\.csv$ ]] || fail "log file name ${log##*/}"
    local header line
    header=$(head -n 1 "$log" | iconv -f GBK -t UTF-8) || fail "log header is not GBK"
    [ "$header" = "卡号,时间,加密 " ] || fail "log header: $header"
    [ "$(wc -l <"$log")" -eq 2 ] || fail "log holds $(wc -l <"$log") lines, expected 2"
    line=$(sed -n 2p "$log")
    [[ $line =~ ^528000000012345,20[0-9]{12},N\ $ ]] || fail "log line: $line"
    [ "${line:16:14}.csv" = "${log##*/}" ] || fail "log line time ${line:16:14}, file ${log##*/}"
    [ "$(sim_count 0601)" -eq 2 ] || fail "$(sim_count 0601) signals, expected start-up and write"

    # Esc closes the window; the program ends with status 0.
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key Escape
    wait_for 30 app_ended || fail "the program did not end within 30 s of Esc"
    local status=0
    wait "$app_pid" || status=$?
    app_pid=
    [ "$status" -eq 0 ] || fail "the program ended with status $status"

    stop "$sim_pid"
    sim_pid=
    run=
}

# --- the staged install and the package built from it
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
    fail "cmake --install failed"
check_tree "$work/stage/usr"
desktop-file-validate "$work/stage/usr/share/applications/$app_id.desktop" >>"$work/install.log" 2>&1 ||
    fail "the desktop entry does not validate"
appstreamcli validate --no-net --strict "$work/stage/usr/share/metainfo/$app_id.metainfo.xml" \
    >>"$work/install.log" 2>&1 || fail "the AppStream metadata does not validate without warnings"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    fail "cpack -G DEB failed"
debs=("$work"/package/pelorin_*_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no pelorin_<version>_<arch>.deb"
fi
depends=$(dpkg-deb -f "${debs[0]}" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 fonts-liberation2 \
    "fonts-arphic-uming | fonts-wqy-zenhei"; do
    [[ $depends == *"$needed"* ]] || fail "the package does not depend on $needed: $depends"
done
dpkg-deb -x "${debs[0]}" "$work/unpacked" || fail "dpkg-deb -x ${debs[0]##*/} failed"
check_tree "$work/unpacked/usr"

# --- a virtual display on a free number, and an environment with COM3 as the only port
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_for 30 test -s "$work/display" || fail "Xvfb did not start"
DISPLAY=":$(cat "$work/display")"
export DISPLAY
while read -r name; do
    unset "$name"
done < <(compgen -e | grep '^CORVANEL_COM' || true)
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work/xdg
mkdir -m 700 "$XDG_RUNTIME_DIR"

drive "$work/stage/usr" staged
drive "$work/unpacked/usr" package

echo "install-test: PASS (staged install and ${debs[0]##*/}: reader found on COM3, tag written," \
    "write log with header and line)"
