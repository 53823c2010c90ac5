# Sourced by the Wine scripts: where the throw-away prefix lives and how Wine
# is kept quiet. QMX_WINEPREFIX may point elsewhere.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${QMX_WINEPREFIX:-$top/build/wine/prefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts; no desktop integration.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
