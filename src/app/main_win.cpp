// Entry point: class registration, start-up, and the message loop with the
// About accelerators and the popup's keys. Every way out returns exit code 0;
// with a download still running the process ends before the static
// destructors would run.
#include "app/app_win.h"
#include "download/download.h"
#include "net/document_wait.h"
#include "resource.h"
#include "ui/access_win.h"
#include "ui/popup.h"

namespace {

ATOM RegisterPopupClass(HINSTANCE hInstance) {
    WNDCLASSEXW wcex;
    ZeroMemory(&wcex, sizeof(wcex));
    wcex.cbSize = sizeof(wcex);
    wcex.style = CS_HREDRAW | CS_VREDRAW;
    wcex.lpfnWndProc = WndProc;
    wcex.hInstance = hInstance;
    wcex.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_QMX));
    wcex.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wcex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wcex.lpszClassName = szWindowClass;
    wcex.hIconSm = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_SMALL));
    return RegisterClassExW(&wcex);
}

} // namespace

int APIENTRY wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    LoadStringW(hInstance, IDS_APP_TITLE, szTitle, 100);
    LoadStringW(hInstance, IDC_QMX, szWindowClass, 100);
    RegisterPopupClass(hInstance);

    if (!InitInstance(hInstance))
        return 0;

    HACCEL accelerators = LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDC_QMX));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        // The popup's buttons take the focus, and the About command belongs
        // to the popup; its keys come after the accelerators.
        if (!TranslateAcceleratorW(AcceleratorTarget(msg.hwnd), accelerators, &msg) &&
            !PopupKeyboardMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    const int exitCode = static_cast<int>(msg.wParam);
    EndProcessIfDownloading(static_cast<unsigned int>(exitCode));
    EndProcessIfFetching(static_cast<unsigned int>(exitCode));
    return exitCode;
}
