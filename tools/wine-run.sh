#!/usr/bin/env bash
# Runs a Windows exe in the throw-away prefix, under Xvfb when there is no
# display, and passes its exit code on.   tools/wine-run.sh EXE [ARGS...]
set -euo pipefail
here=$(dirname "$0")
"$here/wine-prefix.sh"
source "$here/wine-env.sh"
if [ -n "${DISPLAY:-}" ]; then
  exec "$QMX_WINE" "$@"
fi
exec xvfb-run -a -s "-screen 0 1920x1080x24" "$QMX_WINE" "$@"
