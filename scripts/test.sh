#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the native tests (under a virtual
# display), a Windows syntax check of the portable code, the Windows backend's tests under
# 64-bit Wine, and the native tests again built with the address and undefined-behaviour
# sanitizers (without the pages' end-to-end scenarios, which drive the same native code through
# the whole program and would only repeat it, slower). The 32-bit Windows build is compiled
# too, but not run: 32-bit Wine is not installable here. Each stage's time is printed at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
timings=()

# stage <name> <command...>: runs the command and notes how long it took.
stage() {
    local name=$1 start=$SECONDS
    shift
    echo "== $name"
    "$@"
    timings+=("$(printf '%-28s %4d s' "$name" $((SECONDS - start)))")
}

# Every windowed test of a run shares one virtual display and one loaded machine. Entries
# without a time limit of their own get five minutes: a hang must fail its test, not stall the
# run.
ctest_options=(--output-on-failure -j "$(nproc)" --timeout 300)

# ctest_with_retry <ctest arguments...>: runs the tests, then once more only those that failed.
# A test that passes on its second run does not fail the stage, but it is named in the log and
# in retried-tests.txt of the build folder, so a flaky test is seen and mended rather than
# passed in silence. Run inside the build folder.
ctest_with_retry() {
    rm -f retried-tests.txt
    ctest "$@" && return 0
    local failed=Testing/Temporary/LastTestsFailed.log
    [[ -s $failed ]] || return 1
    cp "$failed" retried-tests.txt
    echo "== tests that failed and are run once more (a pass below still means a flaky test):"
    sed 's/^/   retried: /' retried-tests.txt
    ctest "$@" --rerun-failed
}

native_tests() {
    (cd "$root/build/native" && xvfb-run -a bash -c "$(declare -f ctest_with_retry); \
        ctest_with_retry $(printf '%q ' "${ctest_options[@]}")")
}

windows_tests() {
    # Unless the caller names one, a Wine prefix of our own: made on the first start, removed
    # after.
    if [[ -z "${WINEPREFIX:-}" ]]; then
        WINEPREFIX=$(mktemp -d /tmp/pellanor-wine.XXXXXX)
        export WINEPREFIX
        trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
    fi
    # Like the native run, a test that fails is run once more, and named: Wine on a loaded
    # machine has been seen to lose a stand-in tool's run once in dozens.
    (cd "$root/build/win32" && ctest_with_retry --output-on-failure --timeout 900)
}

sanitizer_tests() {
    (source "$root/scripts/sanitizer_options.sh" &&
        cd "$root/build/asan" && xvfb-run -a bash -c "$(declare -f ctest_with_retry); \
            ctest_with_retry $(printf '%q ' "${ctest_options[@]}") --label-exclude e2e")
}

stage "setup" "$root/scripts/setup.sh"
stage "native build" "$root/scripts/build.sh" native
stage "native tests" native_tests
stage "windows syntax check" "$root/scripts/windows_syntax_check.sh"
stage "win32-i686 build" "$root/scripts/build.sh" win32-i686
stage "win32 build" "$root/scripts/build.sh" win32
stage "win32 tests (Wine)" windows_tests
stage "sanitizer build" "$root/scripts/build.sh" asan
stage "sanitizer tests" sanitizer_tests

printf '%s\n' "stage times:" "${timings[@]}"
for kind in native win32 asan; do
    retried="$root/build/$kind/retried-tests.txt"
    if [[ -s $retried ]]; then
        echo "passed only on their second run ($kind): $(cut -d: -f2 "$retried" | paste -sd' ')"
    fi
done
