#!/usr/bin/env bash
# Installs what is missing, builds the checker and starts it under Wine.
#   ./run.sh          against the bundled stand-in of the account service, in a private network
#                     namespace: it works offline and sends nothing to the real service; like
#                     the real hosts, the stand-in sends plain-HTTP page requests to HTTPS by a
#                     302 (STANDIN_HTTPS_REDIRECT, see tools/standin/run-isolated.sh; empty: none)
#   ./run.sh --live   against the real service
# With a display (DISPLAY set) the window opens there. Without one the checker runs on a private
# Xvfb display, performs one sample check, saves a screenshot and prints its path and the
# verdict lines.
set -euo pipefail
cd "$(dirname "$0")"

live=0
for arg in "$@"; do
  case "$arg" in
    --live) live=1 ;;
    -h|--help) sed -n 2,10p "$0"; exit 0 ;;
    *) echo "run.sh: unknown argument $arg (see ./run.sh --help)" >&2; exit 2 ;;
  esac
done

./tools/setup.sh
cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake >/dev/null
cmake --build build -j "$(nproc)" --target checker sample_check

headless=0
[ -n "${DISPLAY:-}" ] || headless=1
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-checker}
. tools/wine-env.sh
trap wine_env_stop EXIT
wine_env_start

if [ "$live" = 1 ]; then
  echo "run.sh: the checker talks to the real service (--live)."
  network=()
  ids="baidu,zz_sample_not_taken_$(date +%Y%m%d)"
else
  echo "run.sh: the checker talks to the local stand-in service in a private network namespace;"
  echo "        nothing leaves this machine. Use ./run.sh --live for the real service."
  network=(tools/standin/run-isolated.sh)
  export STANDIN_HTTPS_REDIRECT=${STANDIN_HTTPS_REDIRECT-302}
  ids="taken1,freeA,freetaken,张三"
fi

if [ "$headless" = 0 ]; then
  # Wine's virtual desktop draws real window frames even without a window manager.
  STANDIN_KEEP_DISPLAY=1 exec "${network[@]}" tools/wine-run.sh explorer /desktop=checker,1024x768 \
    build/bin/checker.exe
fi

shot=$PWD/build/checker-sample.png
bmp=$PWD/build/checker-sample.bmp
lines=$PWD/build/checker-sample.txt
echo "run.sh: no display; one sample check of $ids on a private display."
rm -f "$bmp" "$shot" "$lines"
status=0
"${network[@]}" tools/wine-run.sh explorer /desktop=checker,800x600 build/bin/sample_check.exe \
  "Z:${bmp//\//\\}" "$ids" >"$lines" || status=$?
if [ -s "$bmp" ]; then
  convert "$bmp" "$shot" && rm -f "$bmp"
  echo "run.sh: screenshot saved to $shot"
fi
echo "run.sh: verdict lines:"
cat "$lines"
# The sample check fails when the window did not appear or no verdict line came.
if [ "$status" -ne 0 ] || [ ! -s "$lines" ]; then
  echo "run.sh: the sample check failed (exit code $status, $(wc -l <"$lines") verdict lines)" >&2
  exit 1
fi
