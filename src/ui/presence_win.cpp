// The Windows side of the presence check: asks the shell whether the user
// accepts notifications, looks at the foreground window itself, and holds a
// prepared offer on a popup timer until the user is free. Everything runs on
// the UI thread (start-up, the arrival, the timer), so the hold needs no lock.
// The timer has its own procedure, so the window procedure knows nothing of it.
#include "ui/presence.h"

#include "device/device.h"
#include "support/trace.h"

namespace {

// An id of the popup's own timers; WM_TIMER with a TIMERPROC never reaches
// the window procedure.
const UINT_PTR kHoldTimerId = 0x5130;
// One look every two seconds: with the settling time the offer comes 4 to
// 6 s after the user is free again (the first free look, then two more),
// and a held offer costs nothing between looks.
const UINT kLookIntervalMs = 2000;
// Long enough for the shell's class names below.
const int kClassNameChars = 32;

bool s_held = false;
CSettlePace s_pace;

// SHQueryUserNotificationState exists from Vista on; this exe must still
// start where it is missing, so it is looked up rather than imported.
using QueryNotificationStateFn = HRESULT(WINAPI*)(int*);

int AskNotificationState() {
    static QueryNotificationStateFn query = [] {
        HMODULE shell = GetModuleHandleW(L"shell32.dll");
        if (!shell)
            shell = LoadLibraryW(L"shell32.dll"); // kept for the life of the process
        return shell ? reinterpret_cast<QueryNotificationStateFn>(reinterpret_cast<void*>(
                           GetProcAddress(shell, "SHQueryUserNotificationState")))
                     : nullptr;
    }();
    int state = kNoNotificationAnswer;
    if (!query || FAILED(query(&state)))
        return kNoNotificationAnswer;
    return state;
}

// The desktop and the shell's own windows are in front when nothing else is.
bool IsDesktopOrShell(HWND window) {
    if (window == GetDesktopWindow() || window == GetShellWindow())
        return true;
    WCHAR cls[kClassNameChars] = {0};
    GetClassNameW(window, cls, kClassNameChars);
    return lstrcmpiW(cls, L"Progman") == 0 || lstrcmpiW(cls, L"WorkerW") == 0 ||
           lstrcmpiW(cls, L"Shell_TrayWnd") == 0;
}

// A foreground window of another program whose rectangle contains the whole
// monitor the popup appears on.
bool ForeignFullScreenInFront(HWND popup) {
    HWND front = GetForegroundWindow();
    if (!front || !IsWindowVisible(front) || IsIconic(front) || IsDesktopOrShell(front))
        return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(front, &pid);
    if (pid == GetCurrentProcessId())
        return false; // the popup itself, or its About box
    // A maximized window with a frame sticks out past the monitor by its
    // border when the taskbar hides itself: a program at work, not a show.
    if (IsZoomed(front) || (GetWindowLongW(front, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)
        return false;
    MONITORINFO monitor;
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(popup, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return false;
    RECT rc;
    if (!GetWindowRect(front, &rc))
        return false;
    const RECT& m = monitor.rcMonitor;
    return CoversMonitor({rc.left, rc.top, rc.right, rc.bottom},
                         {m.left, m.top, m.right, m.bottom});
}

HoldReason LookAtUser(HWND popup) {
    return WhyUserIsBusy(AskNotificationState(), ForeignFullScreenInFront(popup));
}

// On top of the other windows but not activated: the program the user works
// in keeps the foreground and the keyboard. A click or Alt+Tab activates
// the popup as any window.
void ShowWithoutActivating(HWND popup) {
    SetWindowPos(popup, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void EndHold(HWND popup) {
    KillTimer(popup, kHoldTimerId);
    s_held = false;
}

void CALLBACK OnHoldTimer(HWND popup, UINT, UINT_PTR, DWORD nowMs) {
    if (!g_bOfferShown) {
        // A later decision withdrew the offer (the application is installed
        // now): there is nothing left to show.
        EndHold(popup);
        TraceLine("offer held no longer: withdrawn by a later decision");
        return;
    }
    const HoldReason why = LookAtUser(popup);
    if (!s_pace.Look(why == HoldReason::None, nowMs))
        return;
    EndHold(popup);
    ShowWithoutActivating(popup);
    TraceLine("offer shown: the user is free again");
}

} // namespace

void ShowOfferWhenFree(HWND popup) {
    if (s_held)
        return; // the held offer shows when the user is free; no second one
    const HoldReason why = LookAtUser(popup);
    if (why == HoldReason::None) {
        ShowWithoutActivating(popup);
        return;
    }
    if (!SetTimer(popup, kHoldTimerId, kLookIntervalMs, OnHoldTimer)) {
        // Without a timer a held offer would never come: show it as before.
        ShowWithoutActivating(popup);
        return;
    }
    s_held = true;
    s_pace = CSettlePace();
    TraceLine("offer held: %s", HoldReasonText(why));
}
