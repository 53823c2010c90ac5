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

// Whether a customer-settings load may be retried at an arrival at tick
// `nowMs` (GetTickCount, wrapping): not within a minute of the last retry,
// so a burst of arrivals does not chain them. Records `nowMs` as the last
// retry when it answers true.
class CRetryPace {
  public:
    static constexpr unsigned kIntervalMs = 60000;
    bool Due(unsigned nowMs);

  private:
    bool m_tried = false;
    unsigned m_lastMs = 0;
};
