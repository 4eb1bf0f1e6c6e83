#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Pelorin need.
# Safe to run again: packages that are already installed are left alone.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    clang libclang-rt-14-dev clang-format
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-serialport-dev
    python3 python3-serial
    fonts-liberation2 fonts-arphic-uming fonts-wqy-zenhei
    xvfb xdotool imagemagick
    appstream desktop-file-utils librsvg2-bin
    g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine wixl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
