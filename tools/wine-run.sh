#!/usr/bin/env bash
# Runs a Windows program under Wine with the test environment: Chinese locale (code page 936),
# the run's private prefix and display. test.sh prepares both; this script only uses them.
export LC_ALL=zh_CN.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?WINEPREFIX is not set: run through ./test.sh or source tools/wine-env.sh}"
exec wine "$@"
