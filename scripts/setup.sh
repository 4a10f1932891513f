#!/usr/bin/env bash
# Installs, as root on Debian 12, every package the build and the tests need that is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qtbase5-dev qtwebengine5-dev libqt5webchannel5-dev
    libspdlog-dev libfmt-dev libqrcodegencpp-dev libssl-dev
    googletest libgtest-dev
    xvfb xauth
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
