#!/usr/bin/env bash
# Installs the benchmarks' timing tools (hyperfine, /usr/bin/time) and the peer duplicate finders
# from Debian.
set -euo pipefail
packages=(hyperfine time jdupes rdfind rmlint fdupes openssl)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
    apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}"
fi
