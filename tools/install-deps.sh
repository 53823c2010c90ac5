#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, only when one is
# missing. Wine comes in the kinds this machine can run: wine64 always, and
# wine32 (with the i386 architecture) only where 32-bit programs start
# (tools/windows-arch.sh). A mirror caught mid-sync is survived: a failed
# index is a warning, and an install that fails is tried once more pinned to
# the release's own suite, whose amd64 and i386 packages always match.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
pkgs=(cmake make pkg-config g++ clang dpkg-dev python3 binutils
      libclang-rt-14-dev
      g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
      g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
      libcurl4-openssl-dev libtinyxml2-dev libhidapi-dev googletest libgtest-dev
      wine wine64 xvfb xdotool x11-utils libx11-dev imagemagick nginx fonts-wqy-microhei
      libssl-dev curl procps locales patch tinyproxy osslsigncode openssl wixl msitools
      krb5-kdc krb5-admin-server krb5-user squid winbind iproute2)
runs32=0
[ "$("$here/windows-arch.sh" 2>/dev/null)" = x86 ] && runs32=1
# wine32 and the Kerberos libraries its SSPI loads, for the i686 trees.
[ $runs32 = 1 ] && pkgs+=(wine32:i386 libkrb5-3:i386 libgssapi-krb5-2:i386)
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: missing ${missing[*]}"
  if [ $runs32 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "install-deps: 32-bit programs run here: adding the i386 architecture for wine32"
    $sudo dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  if $sudo apt-get update -qq; then
    echo "install-deps: package lists updated"
  else
    echo "install-deps: warning: apt-get update reported errors (a mirror in sync?); going on with the lists that arrived"
  fi
  if $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/install-deps.$$.log 2>&1; then
    echo "install-deps: installed ${#missing[@]} packages"
  else
    suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$suite" ] || { cat /tmp/install-deps.$$.log >&2; echo "install-deps: install failed and /etc/os-release names no release" >&2; exit 1; }
    echo "install-deps: install failed ($(grep -m1 -E '^E:' /tmp/install-deps.$$.log || echo 'see apt-get')); trying once more from the release's own suite ($suite)"
    if ! $sudo apt-get install -y -qq --no-install-recommends -t "$suite" "${missing[@]}" >/tmp/install-deps.$$.log 2>&1; then
      cat /tmp/install-deps.$$.log >&2
      rm -f /tmp/install-deps.$$.log
      echo "install-deps: install from $suite failed too" >&2
      exit 1
    fi
    echo "install-deps: installed ${#missing[@]} packages from $suite"
  fi
  rm -f /tmp/install-deps.$$.log
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
if [ $gen -eq 1 ]; then
  $sudo locale-gen >/dev/null
  echo "install-deps: locales generated"
fi
exit 0
