#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test the program.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev
    libsqlite3-dev
    libicu-dev
    libical-dev tzdata
    libzip-dev unzip
    libbenchmark-dev
    fonts-liberation
    xvfb xauth xdotool dbus dunst
    libxcb1-dev libxcb-keysyms1-dev trayer x11-utils
    pulseaudio pulseaudio-utils
    poppler-utils
    python3-recurring-ical-events
    qt6-wayland weston
    radicale python3-caldav openssl
    lintian appstream desktop-file-utils dpkg-dev file
    qtkeychain-qt6-dev gnome-keyring libsecret-tools
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
