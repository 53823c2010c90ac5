# Sourced by the Wine scripts: which Wine runs the Windows trees, where the
# throw-away prefix lives and how Wine is kept quiet.
#   QMX_WINDOWS_ARCH  x86 (the default): wine32 in a win32 prefix;
#                     x64: wine64 in a win64 prefix of its own
#   QMX_WINEPREFIX    the prefix, when it lives elsewhere
# The wine wrapper picks the 32-bit loader whenever wine32 is installed, so
# the x64 side calls the 64-bit loader by its own path. $QMX_WINE is the
# loader to start programs with; wineserver is the same for both.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "${QMX_WINDOWS_ARCH:-x86}" = x64 ]; then
  export WINEPREFIX=${QMX_WINEPREFIX:-$top/build/wine/prefix-x64}
  export WINEARCH=win64
  export QMX_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
else
  export WINEPREFIX=${QMX_WINEPREFIX:-$top/build/wine/prefix}
  export WINEARCH=win32
  export QMX_WINE=wine
fi
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts; no desktop integration.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
