// Start-up: the operating-system gate, the single instance, the hidden popup,
// the settings file, the first scan and decision, and the registration for
// USB arrivals. Everything here runs on the UI thread before the message
// loop; failures are silent and end the program with exit code 0.
#include "app/app.h"
#include "app/app_win.h"
#include "config/server.h"
#include "config/xml_config.h"
#include "device/device.h"
#include "net/document_wait.h"
#include "net/warm_up_win.h"
#include "policy/policy_win.h"
#include "resource.h"
#include "support/trace.h"
#include "ui/presence.h"

#include <commctrl.h>
#include <dbt.h>
#include <initguid.h>
#include <usbiodef.h>

HINSTANCE g_hInst = nullptr;
HWND g_hWndPopup = nullptr;
HBITMAP g_hLogoBitmap = nullptr; // kept for the life of the process
bool g_bCustomersettingLoaded = false;
WCHAR szTitle[100];
WCHAR szWindowClass[100];

namespace {

const DWORD kOsVersionRecordSize = 284; // sizeof(OSVERSIONINFOEXW)
const int kPopupBaseWidth = 500;
const int kPopupBaseHeight = 300;
const DWORD kStartupSettleMs = 1000;
const DWORD kNotifyBufferChars = 256;

// Windows 7 to 8.1 report 6.1-6.3; without a supportedOS list in the manifest
// later versions report 6.2 and pass too.
bool IsSupportedOs() {
    OSVERSIONINFOEXW info;
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = kOsVersionRecordSize;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
#pragma GCC diagnostic pop
    return info.dwMajorVersion == 6 && info.dwMinorVersion >= 1 && info.dwMinorVersion <= 3;
}

void RegisterForUsbArrivals(HWND hWnd) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    ZeroMemory(&filter, sizeof(filter));
    filter.dbcc_size = 32;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    // The handle lives as long as the window; it is never unregistered.
    RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

} // namespace

std::wstring ReadNotifySetting(const std::wstring& iniPath) {
    WCHAR value[kNotifyBufferChars];
    ZeroMemory(value, sizeof(value));
    // A longer value is cut to 255 characters; a missing file or key reads as "".
    GetPrivateProfileStringW(L"Option", L"Notify", L"", value, kNotifyBufferChars, iniPath.c_str());
    return value;
}

bool IsSwitchedOff(const std::wstring& iniPath) {
    return ReadNotifySetting(iniPath) == L"off"; // exact and case-sensitive
}

std::wstring GetModulePath() {
    WCHAR module[MAX_PATH + 1];
    ZeroMemory(module, sizeof(module));
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    return module;
}

std::wstring GetIniPath() {
    return IniPathForModule(GetModulePath());
}

void EnsureCustomerSettings(SettingsLoad when) {
    static CRetryPace pace;
    if (g_bCustomersettingLoaded)
        return;
    if (when == SettingsLoad::AtArrival && !pace.Due(GetTickCount())) {
        TraceLine("customer settings: retried less than a minute ago, not now");
        return;
    }
    theCustomersetting.itemsRead = false;
    const std::wstring url = ServerBaseUrl() + QMX_CUSTOMERSETTING_PATH;
    const bool read = theCustomersetting.LoadFromBody(url, FetchDocumentAnswering(url));
    g_bCustomersettingLoaded = read && theCustomersetting.itemsRead;
    if (read && !g_bCustomersettingLoaded)
        TraceLine("customer settings: the answer is not an Items document, tried again at the "
                  "next arrival");
}

BOOL InitInstance(HINSTANCE hInstance) {
    g_hInst = hInstance;

    if (!IsSupportedOs())
        return FALSE;

    // One copy per logon session; the handle stays open until the process ends.
    HANDLE single = CreateMutexW(nullptr, FALSE, L"qmx_orvanteer");
    if (single && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(single);
        return FALSE;
    }

    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    g_nScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    g_nScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    g_nPopupWidth = ScaleX(kPopupBaseWidth);
    g_nPopupHeight = ScaleY(kPopupBaseHeight);

    // The progress bar class must exist before the popup builds its controls.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);

    // Placed from the work area's width and height (not its right and bottom
    // edges), one pixel in from the corner.
    int x = (work.right - work.left) - g_nPopupWidth - 1;
    int y = (work.bottom - work.top) - g_nPopupHeight - 1;
    HWND hWnd = CreateWindowExW(0, szWindowClass, szTitle, WS_POPUPWINDOW, x, y, g_nPopupWidth,
                                g_nPopupHeight, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return FALSE;
    g_hWndPopup = hWnd;

    // Frameless: drop the caption bits (and with them the border), clip children.
    LONG style = GetWindowLongW(hWnd, GWL_STYLE);
    style &= ~WS_CAPTION;
    style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    SetWindowLongW(hWnd, GWL_STYLE, style);
    RECT rc;
    GetWindowRect(hWnd, &rc);
    SetWindowPos(hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_FRAMECHANGED);

    g_hLogoBitmap = LoadBitmapW(hInstance, MAKEINTRESOURCEW(IDB_LOGO));

    if (ReadPolicyAtStartup(ReadNotifySetting(GetIniPath()), BuiltInServerBaseUrl).notifyOff ||
        !ScanForSupportedDevice()) {
        PostQuitMessage(0);
        return FALSE;
    }

    StartNetworkWarmUp(); // while the UI thread waits; nothing is sent before the wait ends
    Sleep(kStartupSettleMs);
    EnsureCustomerSettings(SettingsLoad::AtStartup);
    g_bOfferShown = false;
    QueryCustomerAndDecide();
    if (g_bOfferShown)
        ShowOfferWhenFree(hWnd);
    else
        ShowWindow(hWnd, SW_HIDE);

    RegisterForUsbArrivals(hWnd);
    UpdateWindow(hWnd);
    return TRUE;
}
