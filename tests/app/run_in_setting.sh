#!/usr/bin/env bash
# Runs a Windows test program under Wine in one of the settings users meet:
#   run_in_setting.sh LOCALE PROGRAM [ARGS...]            system locale LOCALE (zh_TW.UTF-8
#                                                         gives code page 950, en_US.UTF-8 1252)
#   run_in_setting.sh read-only CHECKER PROGRAM [ARGS...]  the checker copied into a folder
#                                                         mounted read-only (CHECKER_DIR)
#   run_in_setting.sh junk-library CHECKER PROGRAM [ARGS...] the same, with a SkinH_QX.dll
#                                                         there that is the skin library cut
#                                                         to half its length
#   run_in_setting.sh locked-user-folder CHECKER PROGRAM [ARGS...] the read-only folder, and
#                                                         the user's skin folder read-only
#                                                         with a foreign SkinH_QX.dll in it
#   run_in_setting.sh named-folder NAME LOOKALIKE CHECKER PROGRAM [ARGS...] the checker in a
#                                                         writable folder NAME whose checker.ini
#                                                         names the stand-in as its proxy, beside
#                                                         a folder LOOKALIKE (LOOKALIKE_DIR) whose
#                                                         checker.ini names a proxy nobody answers
# SKIN_LIBRARY names the skin library the checker carries and FOREIGN_SKIN_LIBRARY another
# library with the skin's export; the program sees them as CARRIED_SKIN_LIBRARY and
# FOREIGN_SKIN_LIBRARY in Windows form.
# The read-only settings need a private mount namespace: run inside run-isolated.sh.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?WINEPREFIX is not set: run through ./test.sh}"
: "${SKIN_LIBRARY:?SKIN_LIBRARY is not set}" "${FOREIGN_SKIN_LIBRARY:?FOREIGN_SKIN_LIBRARY is not set}"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
carried=$SKIN_LIBRARY
foreign=$FOREIGN_SKIN_LIBRARY
export CARRIED_SKIN_LIBRARY=$(windows_path "$carried")
export FOREIGN_SKIN_LIBRARY=$(windows_path "$foreign")
setting=$1
shift
# Folders mounted read-only here, detached at the end.
mounted=()
read_only() {
  mount --bind "$1" "$1"
  mount -o remount,bind,ro "$1"
  mounted+=("$1")
}
case "$setting" in
  read-only|junk-library|locked-user-folder|named-folder)
    if [ "$setting" = named-folder ]; then
      name=$1 lookalike=$2
      shift 2
    fi
    checker=$1
    shift
    top=$(mktemp -d /tmp/checker-folder.XXXXXX)
    folder=$top
    # Detached at once even while the checker's ending still holds its file (a plain unmount
    # then fails as busy, and the files could not be removed from a read-only folder).
    trap 'for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done; rm -rf "$top"' EXIT
    if [ "$setting" = named-folder ]; then
      folder=$top/$name
      mkdir "$folder" "$top/$lookalike"
      printf '[network]\r\nproxy=127.0.0.1:80\r\n' >"$folder/checker.ini"
      printf '[network]\r\nproxy=127.0.0.1:9\r\n' >"$top/$lookalike/checker.ini"
      export LOOKALIKE_DIR=$(windows_path "$top/$lookalike")
    fi
    cp "$checker" "$folder/"
    if [ "$setting" = junk-library ]; then
      size=$(stat -c %s "$carried")
      head -c $((size / 2)) "$carried" >"$folder/SkinH_QX.dll"
    fi
    if [ "$setting" = locked-user-folder ]; then
      # The user's local application data in this prefix, as Wine names it for this user.
      user_folder="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/柚工坊"
      if [ ! -d "$(dirname "$user_folder")" ]; then
        echo "run_in_setting.sh: no local application data folder in the prefix: $(dirname "$user_folder")" >&2
        exit 1
      fi
      mkdir -p "$user_folder"
      cp "$foreign" "$user_folder/SkinH_QX.dll"
      read_only "$user_folder"
    fi
    if [ "$setting" != named-folder ]; then read_only "$top"; fi
    export CHECKER_DIR=$(windows_path "$folder")
    export LC_ALL=zh_CN.UTF-8
    wine "$@"
    ;;
  *)
    export LC_ALL=$setting
    exec wine "$@"
    ;;
esac
