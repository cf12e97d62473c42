#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null
cmake --build build -j "$(nproc)"

# Each run gets a private prefix, so no state (cookies, files) leaks from an earlier run.
export WINEPREFIX=$(mktemp -d /tmp/checker-test-prefix.XXXXXX)
. tools/wine-env.sh
trap 'wine_env_stop; rm -rf "$WINEPREFIX"' EXIT
wine_env_start
# One test at a time: many tests drive real windows, and a window of a test running beside
# them could take the keyboard focus away.
ctest --test-dir build --output-on-failure "$@"
