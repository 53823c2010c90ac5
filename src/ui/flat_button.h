// Owner-drawn image buttons: a two-frame bitmap stretched over the button
// (left frame normally, right frame while the mouse rests on it) with the
// button's text centred on top.
#pragma once
#include <map>
#include <string>
#include <windows.h>

struct FlatButton {
    int m_nId;             // child-window id, also the registry key
    HFONT m_hFont;         // text font
    HWND m_hWnd;           // the "button" control
    WNDPROC m_pfnPrevProc; // procedure replaced by the subclass
    HBITMAP m_hBitmap;     // frames side by side; null until the owner stores one
    unsigned int m_nFrames;
    int m_nBitmapWidth;
    int m_nBitmapHeight;

    // Called on a zero-filled record; creates the control and registers it.
    FlatButton* Create(HWND parent, int id, int x, int y, int w, int h, const std::wstring& text);
};

// Records by control id; a newer record with the same id replaces the entry.
extern std::map<int, FlatButton*> g_mapFlatButtons;
// 1 while the mouse rests on some button; shared by all of them.
extern int g_nFlatButtonHover;
// The "button" class procedure every subclassed button forwards to.
extern WNDPROC g_pfnFlatButtonPrevProc;

LRESULT CALLBACK FlatButtonProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// WM_DRAWITEM of the popup for control `id`.
void DrawFlatButton(int id, const DRAWITEMSTRUCT* item);
