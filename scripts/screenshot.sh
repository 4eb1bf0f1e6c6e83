#!/usr/bin/env bash
# Starts Pelorin on a virtual X server against the simulated reader (a reader on COM3) and saves
# the main window as docs/window.png. BUILD_DIR picks the build (default: build).
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
