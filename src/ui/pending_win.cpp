// PLACEHOLDER until the popup lands: delete when implemented.
#include "ui/popup.h"
HWND g_hProgressBar = nullptr;
LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}
void SetPopupState(PopupState) {}
