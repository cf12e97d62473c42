#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
#   ./test.sh [--guarded] [ctest arguments...]
# --guarded builds in ./build-guarded with the guarded heap (every runtime heap block ends at
# a page boundary before an inaccessible page; freed blocks stay inaccessible for a while), so
# an overread, overwrite or use after free faults in the test that causes it.
set -euo pipefail
cd "$(dirname "$0")"
build=build
options=()
if [ "${1:-}" = "--guarded" ]; then
  shift
  build=build-guarded
  options=(-DRUNTIME_GUARDED_HEAP=ON)
fi
./tools/setup.sh
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake "${options[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
# The checker writes its skin library next to itself only when no such file is there yet:
# the copy that an earlier build's checker wrote goes, so this run's checker writes its own.
rm -f "$build"/bin/SkinH_QX.dll

# Each run gets a private prefix, so no state (cookies, files) leaks from an earlier run.
export WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/checker-test-prefix.XXXXXX")
. tools/wine-env.sh
trap 'wine_env_stop; rm -rf "$WINEPREFIX"' EXIT
wine_env_start
# One test at a time: many tests drive real windows, and a window of a test running beside
# them could take the keyboard focus away.
ctest --test-dir "$build" --output-on-failure "$@"
