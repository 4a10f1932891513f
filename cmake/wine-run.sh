#!/bin/sh
# Runs a Windows executable under 64-bit Wine, quietly and in a throw-away prefix unless the
# caller chose one. The first start in a new prefix takes about 15 seconds to create it.
: "${WINEPREFIX:=${TMPDIR:-/tmp}/pellanor-wine-$(id -u)}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# Keep Wine from offering to install Mono or Gecko.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"
exec wine "$@"
