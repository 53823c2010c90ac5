#!/usr/bin/env bash
# Builds the three Windows dependencies (libcurl, hidapi, tinyxml2) for
# i686-w64-mingw32 (or x86_64-w64-mingw32) as static libraries, from the Debian source packages the
# machine's own apt configuration points at. Output goes to .cache/deps
# (ignored by git) and is rebuilt only when missing. Patches of ours under
# tools/patches are applied to the unpacked sources first (each says why).
#
#   tools/build-deps.sh [--x64] [PREFIX]        plain-HTTP libcurl (the default build),
#                                               in .cache/deps/i686 (x86_64 with --x64)
#   tools/build-deps.sh [--x64] --tls [PREFIX]  libcurl with Schannel, for QMX_TLS=ON,
#                                               in a prefix of its own (.cache/deps/i686-tls)
# Both libcurls answer a proxy's Negotiate or NTLM challenge through SSPI,
# with the logged-on user's credentials.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
tls=0
arch=i686
while [ $# -gt 0 ]; do
  case $1 in
    --tls) tls=1; shift ;;
    --x64) arch=x86_64; shift ;;
    *) break ;;
  esac
done
work=$top/.cache/deps/src
host=$arch-w64-mingw32
if [ $tls = 1 ]; then
  prefix=${1:-$top/.cache/deps/$arch-tls}
  stamp=$prefix/.complete-tls-v2
  curl_ssl=(--with-schannel)
  curl_build=$work/curl-build-$arch-tls
else
  prefix=${1:-$top/.cache/deps/$arch}
  stamp=$prefix/.complete-v3
  curl_ssl=(--without-ssl --enable-sspi)
  curl_build=$work/curl-build-$arch
fi

if [ -f "$stamp" ]; then
  exit 0
fi

mkdir -p "$prefix/include" "$prefix/lib" "$work"

# A private apt tree whose sources are the machine's own "deb" entries turned
# into "deb-src" ones, so that no mirror address lives in this repository.
apt_dir=$top/.cache/deps/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$apt_dir/sources.list.d"
: >"$apt_dir/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$apt_dir/sources.list"
done
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
done
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
          -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
          -o "Dir::State::Lists=$apt_dir/lists"
          -o "Dir::Cache::Archives=$apt_dir/archives"
          -o "APT::Sandbox::User=root")
# A mirror caught mid-sync fails an index or two; the sources may still be
# fetched from what did arrive, and fetch() says so when they cannot.
apt-get "${apt_opts[@]}" -qq update >/dev/null 2>&1 ||
  echo "build-deps: apt-get update of the source lists reported errors; going on with what arrived" >&2

fetch() { # fetch PACKAGE -> prints the unpacked source folder
  local pkg=$1 dir
  dir=$(find "$work" -maxdepth 1 -type d -name "$pkg-[0-9]*" | head -n 1)
  if [ -z "$dir" ]; then
    (cd "$work" && apt-get "${apt_opts[@]}" -qq source "$pkg" >/dev/null 2>&1)
    dir=$(find "$work" -maxdepth 1 -type d -name "$pkg-[0-9]*" | head -n 1)
  fi
  [ -n "$dir" ] || { echo "build-deps: could not fetch the source of $pkg" >&2; exit 1; }
  echo "$dir"
}

jobs=$(nproc 2>/dev/null || echo 2)
cc="$host-gcc-posix"
cxx="$host-g++-posix"
command -v "$cc" >/dev/null || cc="$host-gcc"
command -v "$cxx" >/dev/null || cxx="$host-g++"

patch_source() { # patch_source DIR NAME-VERSION: applies tools/patches/NAME-VERSION-*.patch once
  local dir=$1 p
  if ! compgen -G "$top/tools/patches/$2-*.patch" >/dev/null; then
    # Another version than the patches were made for: building it unpatched
    # would bring back what they mend.
    echo "build-deps: no patch in tools/patches for $2; port them to this version first" >&2
    exit 1
  fi
  for p in "$top"/tools/patches/"$2"-*.patch; do
    [ -f "$p" ] || continue
    [ -f "$dir/.applied-$(basename "$p")" ] && continue
    patch -d "$dir" -p1 -s <"$p" || { echo "build-deps: $(basename "$p") does not apply" >&2; exit 1; }
    touch "$dir/.applied-$(basename "$p")"
  done
}

# Each library is built when it is missing (or, for hidapi, built before its
# patch existed); a finished prefix carries the stamp.

# tinyxml2: one source file.
if [ ! -f "$prefix/lib/libtinyxml2.a" ]; then
src=$(fetch tinyxml2)
"$cxx" -O2 -std=c++17 -c "$src/tinyxml2.cpp" -o "$work/tinyxml2-$arch.o"
"$host-ar" rcs "$prefix/lib/libtinyxml2.a" "$work/tinyxml2-$arch.o"
cp "$src/tinyxml2.h" "$prefix/include/"
fi

# hidapi: the Windows backend only, with its pending-I/O patch.
if [ ! -f "$prefix/.hidapi-v2" ]; then
src=$(fetch hidapi)
patch_source "$src" "hidapi-$(basename "$src" | sed 's/^hidapi-//')"
mkdir -p "$prefix/include/hidapi"
"$cc" -O2 -D_WIN32_WINNT=0x0601 -I"$src/hidapi" -I"$src/windows" -c "$src/windows/hid.c" -o "$work/hid-$arch.o"
"$host-ar" rcs "$prefix/lib/libhidapi.a" "$work/hid-$arch.o"
cp "$src/hidapi/hidapi.h" "$prefix/include/hidapi/"
[ -f "$src/windows/hidapi_winapi.h" ] && cp "$src/windows/hidapi_winapi.h" "$prefix/include/hidapi/"
touch "$prefix/.hidapi-v2"
fi

# libcurl, static: HTTP only and no TLS, or HTTP and HTTPS through Windows'
# own TLS (Schannel). SSPI and NTLM in both, for proxies that ask for the
# user's logon; NTLM through winbind's helper stays off.
if [ ! -f "$prefix/.curl-sspi" ]; then
src=$(fetch curl)
bld=$curl_build
rm -rf "$bld" && mkdir -p "$bld"
(cd "$bld" && CC="$cc" "$src/configure" --host=$host --prefix="$prefix" \
    --disable-shared --enable-static "${curl_ssl[@]}" --without-zlib --without-brotli \
    --without-zstd --without-libpsl --without-libidn2 --without-nghttp2 --without-libssh2 \
    --without-librtmp --without-ngtcp2 --without-nghttp3 --without-quiche --without-msh3 \
    --disable-ftp --disable-file --disable-ldap --disable-ldaps --disable-rtsp --disable-dict \
    --disable-telnet --disable-tftp --disable-pop3 --disable-imap --disable-smtp \
    --disable-gopher --disable-mqtt --disable-smb --disable-manual --disable-docs \
    --enable-ntlm --disable-ntlm-wb --disable-unix-sockets --disable-alt-svc \
    --disable-hsts --without-libgsasl --disable-ipv6 \
    >"$bld/configure.log" 2>&1) || { tail -n 30 "$bld/config.log" >&2; exit 1; }
make -C "$bld/lib" -j"$jobs" >"$bld/make.log" 2>&1 || { tail -n 30 "$bld/make.log" >&2; exit 1; }
make -C "$bld/lib" install >/dev/null
make -C "$bld/include" install >/dev/null
touch "$prefix/.curl-sspi"
fi

touch "$stamp"
echo "build-deps: Windows dependencies ready in $prefix"
