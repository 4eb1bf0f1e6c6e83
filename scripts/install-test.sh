#!/usr/bin/env bash
# Installs a build into a staging directory (DESTDIR, prefix /usr) and drives the staged program
# the way an operator would: started through its /usr/bin link, on a virtual X display, against the
# staged reader simulator. It must load Corvanel beside its resolved path, find the reader, write a
# tag from the 11784/11785 group and log it in its working directory, then close on Esc with
# status 0.
#
# Usage: scripts/install-test.sh [build-dir]   (default: build, the default preset's directory)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

work=$(mktemp -d "${TMPDIR:-/tmp}/pelorin-install-test.XXXXXX")
stage=$work/stage/usr
xvfb_pid=
sim_pid=
app_pid=

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
    show_log "simulator" "$work/sim.log"
    show_log "pelorin" "$work/pelorin.log"
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
sim_saw() { grep -q "command $1 data: ${2:-}" "$work/sim.log"; }
sim_count() { grep -c "command $1 data: " "$work/sim.log" || true; }

# --- the staged tree
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
    fail "cmake --install failed"
for program in pelorin pelorin-readersim; do
    target=$(readlink "$stage/bin/$program") || fail "bin/$program is not a link"
    [ "$target" = "../lib/pelorin/$program" ] || fail "bin/$program points to $target"
    [ -x "$stage/bin/$program" ] || fail "bin/$program does not resolve to a program"
done
for file in lib/pelorin/libcorvanel.so share/applications/pelorin.desktop \
    share/metainfo/pelorin.metainfo.xml share/icons/hicolor/scalable/apps/pelorin.svg \
    share/man/man1/pelorin.1 share/man/man1/pelorin-readersim.1; do
    [ -f "$stage/$file" ] || fail "$file not installed"
done
for binary in "$stage"/lib/pelorin/*; do
    if readelf -d "$binary" | grep -Eq '\((RPATH|RUNPATH)\)'; then
        fail "$binary carries a run path"
    fi
done

# --- the staged simulator: a reader on COM3 with three blank tags
"$stage/bin/pelorin-readersim" --port 3 --tags 3 --link "$work/reader" --verbose \
    >"$work/sim.log" 2>&1 &
sim_pid=$!
wait_for 20 test -e "$work/reader" || fail "the simulator did not come up"

# --- a virtual display on a free number
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_for 30 test -s "$work/display" || fail "Xvfb did not start"
DISPLAY=":$(cat "$work/display")"
export DISPLAY

# --- the staged program through its /usr/bin link, with COM3 as the only port
while read -r name; do
    unset "$name"
done < <(compgen -e | grep '^CORVANEL_COM' || true)
export CORVANEL_COM3=$work/reader
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work/xdg
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$work/run"
(cd "$work/run" && exec "$stage/bin/pelorin") >"$work/pelorin.log" 2>&1 &
app_pid=$!

window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Pelorin$' | head -n 1) ||
    fail "no window named Pelorin within 60 s"
[ -n "$window" ] || fail "no window named Pelorin"
wait_for 30 sim_saw 0101 || fail "the program sent no reader check"
wait_for 30 sim_saw 0601 || fail "the program did not find the reader (no signal after the check)"

# --- type an identity into the 11784/11785 group and press its Write button; the points are the
# centres of the controls in app/pelorin_dlg.ui
type_into() {
    xdotool mousemove --window "$window" "$1" "$2" click 1
    sleep 0.3
    xdotool key ctrl+a BackSpace
    xdotool type --delay 50 "$3"
}
xdotool windowfocus --sync "$window" 2>/dev/null || true
type_into 86 195 528
type_into 224 195 000000012345
xdotool mousemove --window "$window" 278 247 click 1
# National 12345 in 40 bits, country 528 in 16 bits, record kind 0, not an animal.
wait_for 30 sim_saw 0203 "00 00 00 30 39 02 10 00 00" ||
    fail "Write sent no request to write 528 000000012345 to the tag"

# --- the write log: one time-stamped file holding the header and one line
log_is_written() {
    local files=("$work"/run/*.csv)
    [ ${#files[@]} -eq 1 ] && [ -f "${files[0]}" ] && [ "$(wc -l <"${files[0]}")" -ge 2 ]
}
wait_for 30 log_is_written || fail "no write log with a line in the working directory"
logs=("$work"/run/*)
[ ${#logs[@]} -eq 1 ] || fail "the working directory holds ${#logs[@]} files: ${logs[*]##*/}"
log=${logs[0]}
[ "$(sim_count 0601)" -eq 2 ] || fail "$(sim_count 0601) signals; expected one at start-up and one after the write"
[[ ${log##*/} =~ ^20[0-9]{12}\.csv$ ]] || fail "log file name ${log##*/}"
header=$(head -n 1 "$log" | iconv -f GBK -t UTF-8) || fail "log header is not GBK"
[ "$header" = "卡号,时间,加密 " ] || fail "log header: $header"
[ "$(wc -l <"$log")" -eq 2 ] || fail "log holds $(wc -l <"$log") lines, expected 2"
line=$(sed -n 2p "$log")
[[ $line =~ ^528000000012345,20[0-9]{12},N\ $ ]] || fail "log line: $line"
[ "${line:16:14}.csv" = "${log##*/}" ] || fail "log line time ${line:16:14} against file ${log##*/}"

# --- Esc closes the window; the program ends with status 0
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key Escape
# A process that has ended stays a zombie until it is waited for, so look at its state.
app_running() {
    local state
    state=$(sed 's/.*) //' "/proc/$app_pid/stat" 2>/dev/null | cut -c1)
    [ -n "$state" ] && [ "$state" != Z ]
}
app_ended() { ! app_running; }
wait_for 30 app_ended || fail "the program did not end within 30 s of Esc"
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"

echo "install-test: PASS (staged install, reader found on COM3, tag written, log $(basename "$log"))"
