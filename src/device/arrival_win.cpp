// USB arrivals while the program runs: repeat the start-up check (scan,
// query, decision) and show the popup when a new offer was prepared. Runs
// inside the popup's window procedure; removals and other events are
// ignored, and the popup is never hidden from here. Customer settings that
// could not be loaded before are loaded here first.
//
// A slow fetch of an arrival answers the messages sent to the popup
// meanwhile (net/document_wait.h), another WM_DEVICECHANGE among them. That
// one does not start an arrival inside the running one: it is noted, and
// the running one goes through its sequence once more when it ends.
#include "device/arrival.h"

#include "app/app_win.h"
#include "device/device.h"
#include "download/download.h"
#include "policy/policy_win.h"
#include "support/trace.h"
#include "ui/presence.h"

#include <dbt.h>

namespace {
// Gives the arriving device a moment before the scan's own settle delay.
const DWORD kArrivalDelayMs = 200;

bool s_arrivalUnderWay = false;
bool s_arrivalAgain = false;

void RunArrival(HWND hWnd) {
    // An administrator may have switched the assistant off since start-up.
    if (PolicySwitchesOffAtArrival()) {
        s_arrivalAgain = false;
        PostQuitMessage(0);
        return;
    }
    if (IsCompanionRunning())
        return;
    Sleep(kArrivalDelayMs);
    g_bSpotlightModel = false;
    if (!ScanForSupportedDevice())
        return;
    // The settings may have failed to load at start-up (no network yet).
    EnsureCustomerSettings(SettingsLoad::AtArrival);
    const bool wasShown = g_bOfferShown;
    QueryCustomerAndDecide();
    // Shown without taking the foreground, or held while the user presents.
    if (!wasShown && g_bOfferShown)
        ShowOfferWhenFree(hWnd);
}
} // namespace

void OnDeviceChange(HWND hWnd, WPARAM wParam, LPARAM lParam) {
    if (wParam != DBT_DEVICEARRIVAL || lParam == 0)
        return;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return;
    if (s_arrivalUnderWay) {
        s_arrivalAgain = true;
        return;
    }
    s_arrivalUnderWay = true;
    do {
        if (s_arrivalAgain)
            TraceLine("arrival: another came during the last one, checking again");
        s_arrivalAgain = false;
        RunArrival(hWnd);
    } while (s_arrivalAgain);
    s_arrivalUnderWay = false;
}
