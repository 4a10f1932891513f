#!/bin/sh
# Wine without an X display has no window driver, so no window there could hear a broadcast.
# Before the broadcast tests this selects Wine's null driver (real windows, never drawn) in the
# test prefix, and afterwards takes the setting out again. A display, or a driver the prefix
# already names, is left as it is. The driver is chosen when a Wine session starts its desktop,
# so the running session (left over from earlier tests) is waited out first; nothing is killed.
# Usage: wine_window_driver.sh <Wine runner> select|restore <marker file>
set -eu
runner=$1
action=$2
marker=$3
key='HKCU\Software\Wine\Drivers'
# The prefix the runner uses when the caller names none.
: "${WINEPREFIX:=${TMPDIR:-/tmp}/pellanor-wine-$(id -u)}"
export WINEPREFIX

case "$action" in
    select)
        rm -f "$marker"
        [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || exit 0
        if "$runner" reg query "$key" /v Graphics >/dev/null 2>&1; then exit 0; fi
        "$runner" reg add "$key" /v Graphics /d null /f >/dev/null 2>&1
        touch "$marker"
        wineserver -w
        ;;
    restore)
        [ -f "$marker" ] || exit 0
        "$runner" reg delete "$key" /v Graphics /f >/dev/null 2>&1
        rm -f "$marker"
        ;;
    *)
        echo "usage: $0 <Wine runner> select|restore <marker file>" >&2
        exit 2
        ;;
esac
