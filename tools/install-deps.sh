#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, only when one is missing.
set -euo pipefail
pkgs=(cmake make pkg-config g++ clang dpkg-dev python3
      libclang-rt-14-dev g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
      libcurl4-openssl-dev libtinyxml2-dev libhidapi-dev googletest libgtest-dev
      wine wine32 xvfb xdotool x11-utils imagemagick nginx fonts-wqy-microhei
      libssl-dev curl procps locales patch tinyproxy osslsigncode openssl wixl msitools)
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
echo "install-deps: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The UI languages the scenarios run the assistant in (Wine reads the locale).
want=(en_US.UTF-8 zh_CN.UTF-8 zh_TW.UTF-8 ko_KR.UTF-8 ja_JP.UTF-8 de_DE.UTF-8)
have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
gen=0
for l in "${want[@]}"; do
  key=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  if ! printf '%s\n' "$have" | grep -qx "$key"; then
    gen=1
    grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  fi
done
[ $gen -eq 1 ] && $sudo locale-gen >/dev/null
exit 0
