#!/usr/bin/env bash
# Starts Pelorin on a virtual X server against the simulated reader (a reader on COM3) and saves
# the main window as docs/window.png; then the Windows program under Wine as
# docs/window-windows.png. BUILD_DIR picks the Linux build (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build}
if [ ! -x "$build/bin/pelorin" ] || [ ! -x "$build/bin/pelorin-readersim" ]; then
    cmake --preset default
    cmake --build --preset default --target pelorin pelorin-readersim
    build=build
fi
build=$(cd "$build" && pwd)

work=$(mktemp -d)
source scripts/readersim.sh
start_readersim "$build/bin/pelorin-readersim"

cat >"$work/shoot.sh" <<'SHOOT'
#!/usr/bin/env bash
set -euo pipefail
"$1/bin/pelorin" &
app_pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Pelorin$' | head -n 1)
sleep 1
import -window "$window" "$2"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
SHOOT
chmod +x "$work/shoot.sh"

mkdir -p docs
CORVANEL_COM3="$work/com3" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 800x700x24 -dpi 96" "$work/shoot.sh" "$build" docs/window.png
echo "saved docs/window.png"

# The same window on Windows: Pelorin.exe of the windows preset under Wine, on the virtual
# display and against the simulated readers that the Windows tests use (a reader on COM3).
wbuild=$(pwd)/build-windows
if [ ! -f "$wbuild/bin/Pelorin.exe" ]; then
    cmake --preset windows
    cmake --build --preset windows --target Pelorin
fi
scripts/windows-readers.sh start "$wbuild" "$build/bin/pelorin-readersim"
trap 'stop_readersim; scripts/windows-readers.sh stop "$wbuild"' EXIT
export DISPLAY=":$(cat "$wbuild/readersim/display")"
scripts/wine-run.sh "$wbuild/bin/Pelorin.exe" &
window=$(xdotool search --sync --onlyvisible --name '^Pelorin$' | head -n 1)
# Until the search has found the reader and the window has painted.
sleep 3
import -window "$window" docs/window-windows.png
echo "saved docs/window-windows.png"
