#!/usr/bin/env bash
# Installs, as root on Debian 12, every package the build and the tests need that is missing,
# then checks that every command they run is there.
set -euo pipefail

# Libraries, headers and runtimes; the packages of the commands come from the table below.
libraries=(
    build-essential
    qtbase5-dev qtwebengine5-dev libqt5webchannel5-dev
    libspdlog-dev libfmt-dev libqrcodegencpp-dev libssl-dev
    googletest libgtest-dev
    # The 64-bit Wine the Windows tests run under; `wine` would settle for 32-bit alone.
    wine64
    # The pages' end-to-end tests drive the program through its inspector.
    python3-websocket
    # Fonts for the Japanese, Korean, Chinese and Thai texts the page tests lay out.
    fonts-wqy-microhei fonts-tlwg-loma-otf
)

# Every command the scripts, the CMake files and the tests run, and the Debian package that puts
# it there (the system's essential packages included, for a minimal image). One line per command.
command_table="
cmake                           cmake
ctest                           cmake
ninja                           ninja-build
c++                             g++
pkg-config                      pkgconf
/usr/lib/qt5/bin/moc            qtbase5-dev-tools
/usr/lib/qt5/bin/rcc            qtbase5-dev-tools
xvfb-run                        xvfb
Xvfb                            xvfb
xauth                           xauth
trayer                          trayer
xdotool                         xdotool
python3                         python3
openssl                         openssl
zbarimg                         zbar-tools
x86_64-w64-mingw32-g++-posix    g++-mingw-w64-x86-64-posix
x86_64-w64-mingw32-gcc-posix    gcc-mingw-w64-x86-64-posix
x86_64-w64-mingw32-windres      binutils-mingw-w64-x86-64
i686-w64-mingw32-g++-posix      g++-mingw-w64-i686-posix
i686-w64-mingw32-gcc-posix      gcc-mingw-w64-i686-posix
i686-w64-mingw32-windres        binutils-mingw-w64-i686
wine                            wine
wineserver                      wine
chattr                          e2fsprogs
mcookie                         util-linux
getopt                          util-linux
sh                              dash
bash                            bash
xargs                           findutils
find                            findutils
cat                             coreutils
dirname                         coreutils
basename                        coreutils
id                              coreutils
ln                              coreutils
mkdir                           coreutils
mktemp                          coreutils
nproc                           coreutils
rm                              coreutils
rmdir                           coreutils
sleep                           coreutils
sort                            coreutils
head                            coreutils
tail                            coreutils
touch                           coreutils
true                            coreutils
wc                              coreutils
dpkg-query                      dpkg
apt-get                         apt
"

installed() {
    [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true) == "install ok installed" ]]
}

found() {
    if [[ "$1" == /* ]]; then [[ -x "$1" ]]; else type -P "$1" >/dev/null; fi
}

packages=("${libraries[@]}")
while read -r command package; do
    [[ -n "$command" ]] && packages+=("$package")
done <<<"$command_table"

missing=()
for package in $(printf '%s\n' "${packages[@]}" | sort -u); do
    installed "$package" || missing+=("$package")
done

if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A package can be installed and still not provide the command on PATH (wine64 alone gives no
# `wine`); say which package each missing command needs.
absent=0
while read -r command package; do
    [[ -z "$command" ]] && continue
    if ! found "$command"; then
        echo "setup: command '$command' not found; it comes with the Debian package '$package'" >&2
        absent=1
    fi
done <<<"$command_table"
exit "$absent"
