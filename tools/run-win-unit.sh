#!/usr/bin/env bash
# Runs a Windows unit-test exe under Wine with a loopback nginx beside it.
# The tests find the server and its document folder through:
#   QMX_SIM_SERVER     http://127.0.0.1:PORT (also the simulated server address)
#   QMX_TEST_DOCROOT   the served folder as a Windows path (Z:\...), which tests
#                      may fill with the documents they need
#   QMX_TEST_STANDIN   the stand-in program (Windows path), when built
#
#   tools/run-win-unit.sh EXE [ARGS...]     (QMX_UNIT_PORT, default 18090)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1; shift
port=${QMX_UNIT_PORT:-18090}
work=$(cd "$(dirname "$exe")" && pwd)/unit-run-$port
rm -rf "$work"; mkdir -p "$work/docroot"
"$here/serve-nginx.sh" start "$work/docroot" "$port" "$work/nginx"
trap '"$here/serve-nginx.sh" stop "$work/nginx"' EXIT
winpath() { echo "Z:$(echo "$1" | sed 's|/|\\|g')"; }
export QMX_SIM_SERVER="http://127.0.0.1:$port"
export QMX_TEST_DOCROOT=$(winpath "$work/docroot")
standin=$(dirname "$exe")/tests/standin/qmx_standin.exe
[ -f "$standin" ] && export QMX_TEST_STANDIN=$(winpath "$(cd "$(dirname "$standin")" && pwd)/qmx_standin.exe")
"$here/wine-run.sh" "$exe" "$@"
