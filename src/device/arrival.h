// WM_DEVICECHANGE handling: a USB arrival repeats the scan and the decision.
#pragma once
#include <windows.h>

void OnDeviceChange(HWND hWnd, WPARAM wParam, LPARAM lParam);
