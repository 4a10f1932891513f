#!/usr/bin/env bash
# QR-code SVG: times generateQrSvg (one process per code, as a page would pay it at most) beside
# qrencode writing SVG, for a one-character text and a text that needs the largest version.
# Needs the native build (scripts/build.sh native) and the Debian packages hyperfine and qrencode.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/native"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# shellcheck disable=SC2046
g++ -std=c++17 -O2 -fPIC -I"$root" $(pkg-config --cflags Qt5Core) "$root/bench/util_qr_svg.cpp" \
    "$build/util/libpellanor_util.a" "$build/log/libpellanor_log.a" \
    "$build/app/libpellanor_constants.a" "$build/platform/libpellanor_platform.a" \
    $(pkg-config --libs Qt5Core qrcodegencpp spdlog fmt) -o "$out/util_qr_svg"

short=A
long=$(head -c 2300 /dev/zero | tr '\0' a)
echo "markup size: version 1 $("$out/util_qr_svg" --size "$short") chars," \
     "version 40 $("$out/util_qr_svg" --size "$long") chars"

for text in "$short" "$long"; do
    hyperfine --warmup 3 --runs 30 --style basic \
        -n "generateQrSvg (${#text} chars)" "$out/util_qr_svg --size '$text'" \
        -n "qrencode -t SVG (${#text} chars)" "qrencode -t SVG -l M -o /dev/null '$text'"
done
