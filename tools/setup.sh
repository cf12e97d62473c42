#!/usr/bin/env bash
# Installs what the build and the tests need, once. Quick when everything is present.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

packages=(cmake make g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
          wine wine32:i386 xvfb xdotool imagemagick googletest python3 fonts-wqy-microhei
          locales iproute2 util-linux procps x11-utils)
for p in "${packages[@]}"; do have "$p" || need+=("$p"); done

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# The Chinese locale: Wine needs it for GBK file names, captions and arguments.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
# Traditional Chinese (code page 950) and English (1252): the tests run the checker under them too.
for l in zh_TW en_US; do
  locale -a 2>/dev/null | grep -qix "$l.utf8" || localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
