// Whether the user can be interrupted: the offer waits while the user
// presents, plays full screen or is away, as Windows' own notifications do.
// The verdict and the settling pace are plain values here so both builds
// test them; presence_win.cpp asks Windows and drives the popup.
#pragma once

// Answers of SHQueryUserNotificationState (QUERY_USER_NOTIFICATION_STATE),
// and kNoNotificationAnswer where the call is missing or failed.
enum NotificationAnswer {
    kNoNotificationAnswer = 0,
    kQunsNotPresent = 1,
    kQunsBusy = 2,
    kQunsRunningD3dFullScreen = 3,
    kQunsPresentationMode = 4,
    kQunsAcceptsNotifications = 5,
    kQunsQuietTime = 6,
    kQunsApp = 7,
};

// Why the offer waits; HoldReason::None when it may show now.
enum class HoldReason {
    None,
    FullScreenInFront,
    Busy,
    Direct3DFullScreen,
    PresentationMode,
    NotPresent,
    QuietTime,
    UnknownAnswer,
};

// `answer`: what the system says (an int, since a later Windows may answer
// values this build does not know); `fullScreenInFront`: a foreground window
// of another program covers the monitor of the popup. Only "accepts
// notifications" and "app" mean free, and even then a full-screen window in
// front holds the offer: some systems (Wine among them) always say
// "accepts".
HoldReason WhyUserIsBusy(int answer, bool fullScreenInFront);
inline bool UserCanBeInterrupted(int answer, bool fullScreenInFront) {
    return WhyUserIsBusy(answer, fullScreenInFront) == HoldReason::None;
}
// The reason as the support trace says it: "a full-screen program is in front".
const char* HoldReasonText(HoldReason reason);

// Edges of a screen rectangle (right and bottom exclusive, as RECT has them).
struct ScreenRect {
    long left, top, right, bottom;
};
// The test Windows makes for a full-screen program: the window's rectangle
// contains the monitor's.
bool CoversMonitor(const ScreenRect& window, const ScreenRect& monitor);

// The settling time of a held offer: Look() is called at each look with
// whether the user is free and the tick (GetTickCount, wrapping) and answers
// true once the user has been free for kSettleMs without a busy look in
// between.
class CSettlePace {
  public:
    static constexpr unsigned kSettleMs = 3000;
    bool Look(bool free, unsigned nowMs);

  private:
    bool m_free = false;
    unsigned m_freeSinceMs = 0;
};

#ifdef _WIN32
#include <windows.h>
// Shows the popup as a notification is shown: on top, without taking the
// foreground or the keyboard focus. While the user cannot be interrupted the
// popup stays as it is and the offer is held: a timer on the popup looks
// again every few seconds and shows it once the user has been free for the
// settling time. A call while an offer is held changes nothing, so arrivals
// do not stack up offers or timers.
void ShowOfferWhenFree(HWND popup);
#endif
