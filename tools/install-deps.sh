#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, only when one is missing.
set -euo pipefail
pkgs=(cmake make pkg-config g++ clang dpkg-dev python3
      g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
      libcurl4-openssl-dev libtinyxml2-dev libhidapi-dev googletest libgtest-dev
      wine wine32 xvfb xdotool x11-utils imagemagick nginx fonts-wqy-microhei
      curl procps)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "install-deps: installing ${missing[*]}"
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
