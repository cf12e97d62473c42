#!/usr/bin/env bash
# The checker's benchmarks against the platform's floor (README, "Benchmarks"): builds in
# release mode in build-bench, starts the stand-in service in a private network namespace, as
# the tests do, and prints one table. Arguments go to the driver: benchmark names (check free
# https page startup commands output memory parallel limits growth) to run only those, --runs N for N
# runs a side.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
cmake -S . -B build-bench -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j "$(nproc)" --target bench_driver
# The checker writes its skin library next to itself only when no such file is there yet:
# the copy that an earlier build's checker wrote goes, so this run's checker writes its own.
rm -f build-bench/bin/SkinH_QX.dll

# A private prefix for this run; the stand-in's namespace gets its own display.
export WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/checker-bench-prefix.XXXXXX")
. tools/wine-env.sh
trap 'wine_env_stop; rm -rf "$WINEPREFIX"' EXIT
wine_env_start
tools/standin/run-isolated.sh tools/wine-run.sh build-bench/bin/bench_driver.exe "$@"
