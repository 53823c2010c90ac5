// Windows handles owned by start-up.
#pragma once
#include <string>
#include <windows.h>

extern HINSTANCE g_hInst;
extern HWND g_hWndPopup;
extern HBITMAP g_hLogoBitmap;
extern WCHAR szTitle[100];
extern WCHAR szWindowClass[100];

BOOL InitInstance(HINSTANCE hInstance);

// Whether a load of the customer settings has succeeded: a 2xx answer that
// parsed with the root Items, even one listing no customer.
extern bool g_bCustomersettingLoaded;
enum class SettingsLoad { AtStartup, AtArrival };
// Loads the customer settings from the download server unless a load has
// already succeeded. Start-up calls it once; each arrival that finds a
// remote calls it again, so a network that was not up at logon is not
// fatal, but at most once a minute. Both run on the popup's thread, whose
// fetches are bounded as a whole (net/document_wait.h).
void EnsureCustomerSettings(SettingsLoad when);

// Full path of the running exe (260 characters at most).
std::wstring GetModulePath();

// The Notify value of section Option in the settings file ("" when missing).
std::wstring ReadNotifySetting(const std::wstring& iniPath);
// True only for exactly "off": the assistant then ends at every start.
bool IsSwitchedOff(const std::wstring& iniPath);
