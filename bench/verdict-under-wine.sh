#!/usr/bin/env bash
# The download check's time after the last byte, under Wine, with a key built
# in: makes a signing key and a signed 200 MiB installer (qmxpublish), serves
# it from a loopback nginx and runs qmx_bench_verdict.exe against it.
#
#   bench/verdict-under-wine.sh HOST_BUILD WINDOWS_BUILD   (QMX_BENCH_PORT, default 18451;
#                                                           QMX_BENCH_MIB, default 200;
#                                                           QMX_BENCH_REPS, default 5)
# The programs are where each tree's bench-tools.sh says.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tools=$here/../tools
source "$here/tools-of.sh" "$1" "$2"
port=${QMX_BENCH_PORT:-18451}
mib=${QMX_BENCH_MIB:-200}
reps=${QMX_BENCH_REPS:-5}
work=$(mktemp -d /tmp/qmx-verdict-XXXXXX)
chmod 755 "$work"
trap '"$tools/serve-nginx.sh" stop "$work/nginx" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
mkdir -p "$work/docroot"
head -c "$((mib * 1024 * 1024))" /dev/urandom >"$work/docroot/setup.bin"
key=$("$qmxpublish" keygen --out "$work/key.pem" 2>/dev/null)
url=http://127.0.0.1:$port/setup.bin
"$qmxpublish" describe --version 1 --url "$url" --installer "$work/docroot/setup.bin" \
  --sign "$work/key.pem" --out "$work/orvanteer.xml" >/dev/null
md5=$(sed -n 's|.*<MD5>\(.*\)</MD5>.*|\1|p' "$work/orvanteer.xml")
signature=$(sed -n 's|.*<Signature>\(.*\)</Signature>.*|\1|p' "$work/orvanteer.xml")
"$tools/serve-nginx.sh" start "$work/docroot" "$port" "$work/nginx"
echo "verdict under Wine: $mib MiB installer, signed, loopback nginx on port $port"
"$tools/wine-run.sh" "$qmx_bench_verdict" "$url" "$md5" "$key" "$signature" "$reps"
