#!/usr/bin/env bash
# Installs what is missing, builds Pellanor and starts it with the given arguments.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
# Only the program, its engine and the command-line tool; the tests are built by test.sh.
"$root/scripts/build.sh" native Pellanor sciter pellanor-cli

program="$root/build/native/app/Pellanor"
# QtWebEngine's sandbox cannot run as root.
if [[ $(id -u) -eq 0 ]]; then
    export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}"
fi
# Without a desktop session the program still runs, on a virtual display.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    exec xvfb-run -a "$program" "$@"
fi
exec "$program" "$@"
