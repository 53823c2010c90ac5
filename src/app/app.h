// Process-wide values of start-up: instance and popup handles, screen and
// popup sizes, the logo, and the settings file.
#pragma once
#include <string>

extern int g_nScreenWidth;  // SM_CXSCREEN, read once at start-up
extern int g_nScreenHeight; // SM_CYSCREEN
extern int g_nPopupWidth;   // ScaleX(500)
extern int g_nPopupHeight;  // ScaleY(300)

// Keep v up to 1920 x 1080 and scale it by the screen above that.
int ScaleX(int v);
int ScaleY(int v);

// Settings path for a module path: every ".exe" (case-sensitive) -> ".ini".
std::wstring IniPathForModule(const std::wstring& modulePath);
std::wstring GetIniPath();
