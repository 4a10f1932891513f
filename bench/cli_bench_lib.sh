# What the benches that time pellanor-cli against a peer tool share (sourced, not run): the
# build folder (first argument, default build/native), hyperfine, a freshly built pellanor-cli
# in $cli and a private work folder in $work, removed when the bench exits.
# Usage: bench_name=<name>; source "$(dirname "$0")/cli_bench_lib.sh" "$@"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/native}
command -v hyperfine >/dev/null || { echo "needs hyperfine: apt-get install hyperfine" >&2; exit 1; }
cmake --build "$build" --target pellanor-cli -j 2 >/dev/null
cli="$build/app/pellanor-cli"

work=$(mktemp -d "/tmp/pellanor-${bench_name:-bench}.XXXXXX")
trap 'rm -rf "$work"' EXIT
