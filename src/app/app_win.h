// Windows handles owned by start-up.
#pragma once
#include <windows.h>

extern HINSTANCE g_hInst;
extern HWND g_hWndPopup;
extern HBITMAP g_hLogoBitmap;
extern WCHAR szTitle[100];
extern WCHAR szWindowClass[100];

BOOL InitInstance(HINSTANCE hInstance);
