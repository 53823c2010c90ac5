// The presence verdict and the settling pace of a held offer; see presence.h.
#include "ui/presence.h"

HoldReason WhyUserIsBusy(int answer, bool fullScreenInFront) {
    switch (answer) {
    case kNoNotificationAnswer:
    case kQunsAcceptsNotifications:
    case kQunsApp:
        return fullScreenInFront ? HoldReason::FullScreenInFront : HoldReason::None;
    case kQunsNotPresent:
        return HoldReason::NotPresent;
    case kQunsBusy:
        return HoldReason::Busy;
    case kQunsRunningD3dFullScreen:
        return HoldReason::Direct3DFullScreen;
    case kQunsPresentationMode:
        return HoldReason::PresentationMode;
    case kQunsQuietTime:
        return HoldReason::QuietTime;
    default:
        return HoldReason::UnknownAnswer;
    }
}

const char* HoldReasonText(HoldReason reason) {
    switch (reason) {
    case HoldReason::None:
        return "the user is free";
    case HoldReason::FullScreenInFront:
        return "a full-screen program is in front";
    case HoldReason::Busy:
        return "Windows reports a full-screen program or presentation settings";
    case HoldReason::Direct3DFullScreen:
        return "a full-screen Direct3D program runs";
    case HoldReason::PresentationMode:
        return "presentation mode is on";
    case HoldReason::NotPresent:
        return "the user is away (locked, screen saver or another session)";
    case HoldReason::QuietTime:
        return "Windows' quiet time after setup";
    case HoldReason::UnknownAnswer:
        return "Windows answers a state this program does not know";
    }
    return "";
}

bool CoversMonitor(const ScreenRect& window, const ScreenRect& monitor) {
    return window.left <= monitor.left && window.top <= monitor.top &&
           window.right >= monitor.right && window.bottom >= monitor.bottom;
}

bool CSettlePace::Look(bool free, unsigned nowMs) {
    if (!free) {
        m_free = false;
        return false;
    }
    if (!m_free) {
        m_free = true;
        m_freeSinceMs = nowMs;
    }
    // Unsigned difference: right across the tick counter's wrap.
    return nowMs - m_freeSinceMs >= kSettleMs;
}
