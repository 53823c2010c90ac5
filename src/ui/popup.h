// The popup window: window procedure, controls and states.
#pragma once
#include "ui/layout.h"
#include <string>
#include <windows.h>

extern HWND g_hProgressBar;

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
void BuildPopupControls(HWND hWnd);
HWND CreateLabel(HWND parent, int id, int x, int y, int w, int h, HFONT font, int mode,
                 const std::wstring& text);
void SetPopupState(PopupState state);
// The state SetPopupState applied last.
PopupState ShownPopupState();
INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
