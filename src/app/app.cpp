// Start-up values that need no Windows call: screen and popup sizes, the
// scaling rules, and the settings path rule.
#include "app/app.h"
#include "config/text.h"
#include "ui/layout.h"

int g_nScreenWidth = 0;
int g_nScreenHeight = 0;
int g_nPopupWidth = 0;
int g_nPopupHeight = 0;

int ScaleX(int v) {
    return ScaleFor(g_nScreenWidth, 1920, v);
}
int ScaleY(int v) {
    return ScaleFor(g_nScreenHeight, 1080, v);
}

std::wstring IniPathForModule(const std::wstring& modulePath) {
    std::wstring path = modulePath;
    // Case-sensitive and over the whole path, folders included: "X.EXE" keeps
    // its name, and a folder "a.exe.d" becomes "a.ini.d".
    ReplaceAll(path, L".exe", L".ini");
    return path;
}
