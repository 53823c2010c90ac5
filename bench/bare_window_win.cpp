// The least a Windows program does to put a window on the screen: one class,
// one popup window of the assistant's size in the same corner, shown at
// once. The start-up bench takes its launch-to-mapped time as Wine's own
// share of a start, so that what remains of the assistant's is its own.
// It runs until it is closed or ended.
#include <windows.h>

namespace {

const int kWidth = 500; // the popup's size up to a 1920 x 1080 screen
const int kHeight = 300;

LRESULT CALLBACK BareProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = BareProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"QmxBenchBare";
    RegisterClassExW(&wc);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND hWnd = CreateWindowExW(0, wc.lpszClassName, L"bare", WS_POPUP, work.right - kWidth - 1,
                                work.bottom - kHeight - 1, kWidth, kHeight, nullptr, nullptr,
                                hInstance, nullptr);
    if (!hWnd)
        return 1;
    ShowWindow(hWnd, SW_SHOW);
    UpdateWindow(hWnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
