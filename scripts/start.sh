#!/usr/bin/env bash
# Installs what is missing, builds Pellanor and starts it with the given arguments.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" native
exec "$root/build/native/app/Pellanor" "$@"
