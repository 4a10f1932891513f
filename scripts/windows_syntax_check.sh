#!/usr/bin/env bash
# Compiles every portable module's sources and the engine's for Windows, syntax only: Debian has
# no Qt for mingw, so this code is otherwise never compiled for the system it is written for,
# and POSIX-only calls would slip in unnoticed. Third-party headers are Debian's own; they are
# reached through a folder of links, since -I/usr/include would shadow mingw's C library.
# Usage: windows_syntax_check.sh (after build.sh native, whose generated headers it reads)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
check="$root/build/windows-syntax"
compiler=x86_64-w64-mingw32-g++-posix
qt=/usr/include/x86_64-linux-gnu/qt5

# Every folder whose code is portable: each top-level folder holding a CMakeLists.txt, except
# the ones built for Windows anyway or not part of the program.
excluded=" platform tests bench pages cmake scripts build engine "
modules=()
for folder in "$root"/*/; do
    name=$(basename "$folder")
    [[ -f "$folder/CMakeLists.txt" && "$excluded" != *" $name "* ]] && modules+=("$name")
done
modules+=(engine/src)

rm -rf "$check"
mkdir -p "$check/include" "$check/arch" "$check/qrcodegen"
ln -s /usr/include/spdlog /usr/include/fmt /usr/include/openssl "$check/include/"
ln -s /usr/include/x86_64-linux-gnu/openssl "$check/arch/"
ln -s /usr/include/qrcodegen/qrcodegen.hpp "$check/qrcodegen/"

flags=(-fsyntax-only -std=c++17 -Wall -Wextra -Werror
       # What a Qt build for Windows defines; Qt itself detects the system from _WIN32.
       -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX
       -I"$root" -isystem "$qt" -isystem "$check/include" -isystem "$check/arch"
       -isystem "$check/qrcodegen")
for folder in "$qt"/Qt*/; do flags+=(-isystem "$folder"); done
[[ -d "$root/build/native" ]] || { echo "build/native is missing: run build.sh native first" >&2; exit 1; }
# Headers the native build generates (the engine's runtime script, for one).
while IFS= read -r folder; do flags+=(-I"$folder"); done \
    < <(find "$root/build/native" -type d -name generated -not -path '*/CMakeFiles/*')

cd "$root"
files=$(find "${modules[@]}" -name '*.cpp' | sort)
echo "windows syntax check: $(wc -l <<<"$files") files in ${modules[*]}"
# One compiler per core; xargs exits non-zero when any file fails, after all have run.
xargs -d '\n' -P "$(nproc)" -n 1 "$compiler" "${flags[@]}" <<<"$files"
echo "windows syntax check: passed"
