// A stand-in slide show for the tests: a borderless window that covers the
// primary monitor, takes the foreground and writes what it receives to the
// file named on its command line, one line each:
//   shown                 in front, full screen
//   key <vk>              a WM_KEYDOWN (Page Down is 34, Page Up 33)
//   active <0|1>          WM_ACTIVATE: it lost (0) or got (1) the activation
//   focus <0|1>           WM_KILLFOCUS / WM_SETFOCUS
//   windowed              Escape ended the show: the window shrinks to an
//                         ordinary window and keeps the foreground and keys
// WM_CLOSE ends it.
#include <cstdio>
#include <windows.h>

namespace {

FILE* s_log = nullptr;

void Log(const char* format, int value = -1) {
    if (!s_log)
        return;
    if (value < 0)
        fprintf(s_log, "%s\n", format);
    else
        fprintf(s_log, "%s %d\n", format, value);
    fflush(s_log);
}

LRESULT CALLBACK PresenterProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        Log("key", static_cast<int>(wParam));
        if (wParam == VK_ESCAPE) {
            SetWindowPos(hWnd, nullptr, 100, 100, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
            Log("windowed");
        }
        return 0;
    case WM_ACTIVATE:
        Log("active", LOWORD(wParam) != WA_INACTIVE ? 1 : 0);
        break;
    case WM_SETFOCUS:
        Log("focus", 1);
        break;
    case WM_KILLFOCUS:
        Log("focus", 0);
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
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
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
    Log("shown");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (s_log)
        fclose(s_log);
    return 0;
}
