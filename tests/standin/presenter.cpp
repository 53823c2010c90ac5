// A stand-in slide show for the scenarios: a borderless window that covers
// the primary monitor and takes the foreground. It writes to the file named
// on its command line "shown", then "key <vk>" per WM_KEYDOWN, "active 0|1"
// per WM_ACTIVATE and "focus 0|1" per WM_KILLFOCUS/WM_SETFOCUS. Escape ends
// the show ("windowed"): it goes on as an ordinary window, keeping the
// foreground and its keys.
#include <cstdio>
#include <windows.h>

namespace {

FILE* s_log = nullptr;

void Log(const char* what, int value) {
    if (s_log) {
        fprintf(s_log, value < 0 ? "%s\n" : "%s %d\n", what, value);
        fflush(s_log);
    }
}

LRESULT CALLBACK PresenterProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        Log("key", static_cast<int>(wParam));
        if (wParam == VK_ESCAPE) {
            SetWindowPos(hWnd, nullptr, 100, 100, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
            Log("windowed", -1);
        }
        return 0;
    case WM_ACTIVATE:
        Log("active", LOWORD(wParam) != WA_INACTIVE ? 1 : 0);
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Log("focus", message == WM_SETFOCUS ? 1 : 0);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    s_log = _wfopen(commandLine, L"w");
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PresenterProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"QmxPresenter";
    RegisterClassW(&wc);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& m = monitor.rcMonitor;
    HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"presenter", WS_POPUP, m.left, m.top,
                        m.right - m.left, m.bottom - m.top, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    Log("shown", -1);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
