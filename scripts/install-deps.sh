#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the viewer,
# but only those that are missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
    qt6-multimedia-dev libqt6opengl6-dev
    libqt6sql6-sqlite
    libgl-dev libxkbcommon-dev libx11-dev libssl-dev
    libgumbo-dev
    python3
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    fonts-dejavu-core
    xvfb xauth openbox xfwm4 xdotool wmctrl x11-utils poppler-utils imagemagick
    weston xwayland qt6-wayland
    clang libclang-rt-14-dev
    nginx openssl
    appstream desktop-file-utils dpkg-dev librsvg2-bin
    lintian man-db groff-base
    python3-html5lib debian-reference-en debian-reference-fr
    dbus-daemon dbus-bin at-spi2-core python3-pyatspi
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
