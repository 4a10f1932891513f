#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the native tests (under a virtual
# display) and the Windows backend's tests under 64-bit Wine. The 32-bit Windows build is
# compiled too, but not run: 32-bit Wine is not installable here.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

"$root/scripts/build.sh" native
(cd "$root/build/native" && xvfb-run -a ctest --output-on-failure -j "$(nproc)")

"$root/scripts/build.sh" win32-i686
"$root/scripts/build.sh" win32
# Unless the caller names one, a Wine prefix of our own: made on the first start, removed after.
if [[ -z "${WINEPREFIX:-}" ]]; then
    WINEPREFIX=$(mktemp -d /tmp/pellanor-wine.XXXXXX)
    export WINEPREFIX
    trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
fi
(cd "$root/build/win32" && ctest --output-on-failure)
