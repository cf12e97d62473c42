#!/usr/bin/env bash
# Installs what the build and the tests need, once. Quick when everything is present.
# Installing packages and generating locales needs root. Run by an ordinary user, it only
# checks: with everything present it does nothing; with something missing it stops at once,
# changes nothing and names the command to run as root.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
          wine wine32:i386 xvfb xdotool imagemagick googletest python3 fonts-wqy-microhei
          locales iproute2 util-linux procps x11-utils openssl ca-certificates)
# Locales, as NAME.UTF-8. zh_CN: Wine needs it for GBK file names, captions and arguments.
locales=(zh_CN.UTF-8 zh_TW.UTF-8 en_US.UTF-8)

have_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# locale -a spells NAME.UTF-8 as NAME.utf8.
have_locale() { locale -a 2>/dev/null | grep -qix "${1%%.*}.utf8"; }

missing=()
dpkg --print-foreign-architectures | grep -qx i386 || missing+=("the i386 architecture")
for p in "${packages[@]}"; do have_package "$p" || missing+=("$p"); done
for l in "${locales[@]}"; do have_locale "$l" || missing+=("the $l locale"); done

if [ ${#missing[@]} -eq 0 ]; then exit 0; fi

if [ "$(id -u)" -ne 0 ]; then
  # The command as the user can type it from the project folder, where the scripts run it.
  command=tools/setup.sh
  [ "$(cd "$(dirname "$0")/.." && pwd)" = "$PWD" ] || command=$(cd "$(dirname "$0")" && pwd)/setup.sh
  printf -v list '%s, ' "${missing[@]}"
  echo "tools/setup.sh: missing ${list%, }; run once as root: sudo $command" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
need=()
for p in "${packages[@]}"; do have_package "$p" || need+=("$p"); done
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

for l in "${locales[@]}"; do
  have_locale "$l" || localedef -i "${l%%.*}" -f UTF-8 "$l"
done
