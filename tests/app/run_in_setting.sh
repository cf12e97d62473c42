#!/usr/bin/env bash
# Runs a Windows test program under Wine in one of the settings users meet:
#   run_in_setting.sh LOCALE PROGRAM [ARGS...]            system locale LOCALE (zh_TW.UTF-8
#                                                         gives code page 950, en_US.UTF-8 1252)
#   run_in_setting.sh read-only CHECKER PROGRAM [ARGS...]  the checker copied into a folder
#                                                         mounted read-only (CHECKER_DIR)
#   run_in_setting.sh junk-library CHECKER PROGRAM [ARGS...] the same, with a SkinH_QX.dll
#                                                         there that is no library
#   run_in_setting.sh hangul-folder CHECKER PROGRAM [ARGS...] the checker in a writable folder
#                                                         whose name GBK cannot hold
# The read-only settings need a private mount namespace: run inside run-isolated.sh.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?WINEPREFIX is not set: run through ./test.sh}"
setting=$1
shift
case "$setting" in
  read-only|junk-library|hangul-folder)
    checker=$1
    shift
    folder=$(mktemp -d /tmp/checker-folder.XXXXXX)
    # Detached at once even while the checker's ending still holds its file (a plain unmount
    # then fails as busy, and the files could not be removed from a read-only folder).
    trap 'umount -l "$folder" 2>/dev/null || true; rm -rf "$folder"' EXIT
    if [ "$setting" = hangul-folder ]; then
      folder=$folder/한국
      mkdir "$folder"
    fi
    cp "$checker" "$folder/"
    [ "$setting" = junk-library ] && printf 'not a library' >"$folder/SkinH_QX.dll"
    if [ "$setting" != hangul-folder ]; then
      mount --bind "$folder" "$folder"
      mount -o remount,bind,ro "$folder"
    fi
    export CHECKER_DIR="Z:${folder//\//\\}"
    export LC_ALL=zh_CN.UTF-8
    wine "$@"
    ;;
  *)
    export LC_ALL=$setting
    exec wine "$@"
    ;;
esac
