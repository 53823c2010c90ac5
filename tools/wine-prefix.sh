#!/usr/bin/env bash
# Creates the throw-away Wine prefix (win32, or win64 for QMX_WINDOWS_ARCH=x64) the Windows tests run in (once).
# The face names the popup and the About box ask for are mapped to an
# installed CJK font so that screenshots show real glyphs.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
stamp=$WINEPREFIX/.qmx-ready-v2
[ -f "$stamp" ] && exit 0
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
run() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1024x768x24" "$@"; fi
}
run "$QMX_WINE" wineboot -i >/dev/null 2>&1
font=$(fc-match -f '%{file}' "WenQuanYi Micro Hei" 2>/dev/null || true)
reg=$(mktemp --suffix=.reg)
cat >"$reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]
"微软雅黑"="WenQuanYi Micro Hei"
"Microsoft YaHei"="WenQuanYi Micro Hei"
"MS Shell Dlg"="WenQuanYi Micro Hei"
"MS Shell Dlg 2"="WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Decorated"="N"
"Managed"="N"
REG
sed -i '1s/REGEDIT4/Windows Registry Editor Version 5.00/' "$reg"
iconv -f UTF-8 -t UTF-16LE "$reg" | { printf '\xff\xfe'; cat; } >"$reg.u16"
run "$QMX_WINE" regedit /S "$reg.u16" >/dev/null 2>&1
[ -n "$font" ] && cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
wineserver -w
rm -f "$reg" "$reg.u16"
touch "$stamp"
echo "wine-prefix: ready in $WINEPREFIX"
