// Start-up values that need no Windows call: screen and popup sizes, the
// scaling rules, the settings path rule and the pace of settings retries.
#include "app/app.h"
#include "support/text.h"
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

bool CRetryPace::Due(unsigned nowMs) {
    // Unsigned difference: right across the tick count's wrap after 49 days.
    if (m_tried && nowMs - m_lastMs < kIntervalMs)
        return false;
    m_tried = true;
    m_lastMs = nowMs;
    return true;
}
