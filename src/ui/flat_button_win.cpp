// Owner-drawn image buttons of the popup. Each button is a plain "button"
// control with BS_OWNERDRAW, subclassed to track hovering; the popup forwards
// WM_DRAWITEM here. One hover flag and one forwarding procedure serve all
// buttons: they are all of the same class, and only one can be under the
// mouse at a time.
#include "ui/flat_button.h"

#include "app/app_win.h"
#include "ui/access_win.h"
#include "ui/gdi_hold.h"
#include "ui/layout.h"

#include <algorithm>

std::map<int, FlatButton*> g_mapFlatButtons;
int g_nFlatButtonHover = 0;
WNDPROC g_pfnFlatButtonPrevProc = nullptr;

namespace {

const int kButtonFontHeight = 24; // per 1080 screen rows, grows only above 1080
const int kReferenceHeight = 1080;
const DWORD kHoverTimeMs = 1;
// sizeof(TRACKMOUSEEVENT): 16 bytes in a 32-bit process, 24 in a 64-bit one
// (the HWND grows and the last DWORD is padded).
#ifdef _WIN64
const DWORD kTrackMouseEventSize = 24;
#else
const DWORD kTrackMouseEventSize = 16;
#endif
static_assert(sizeof(TRACKMOUSEEVENT) == kTrackMouseEventSize, "TRACKMOUSEEVENT's size");
const int kMaxButtonText = 128;
const int kFocusInset = 5;        // the focus cue sits this far inside the button
const int kFocusInsetDivisor = 8; // ... or an eighth of a small button's height

HFONT CreateButtonFont() {
    const int screenH = GetSystemMetrics(SM_CYSCREEN);
    const int height = screenH > kReferenceHeight ? screenH * kButtonFontHeight / kReferenceHeight
                                                  : kButtonFontHeight;
    return CreateFontW(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                       FF_SWISS, L"微软雅黑");
}

// Swaps in FlatButtonProc and returns the procedure it replaces. In the
// 32-bit build (the one that ships) the window procedure fits a LONG and
// SetWindowLongW(GWL_WNDPROC) is the call; a 64-bit pointer needs the
// pointer-sized variant.
WNDPROC SubclassButton(HWND hWnd) {
#ifdef _WIN64
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FlatButtonProc)));
#else
    return reinterpret_cast<WNDPROC>(
        SetWindowLongW(hWnd, GWL_WNDPROC, reinterpret_cast<LONG>(FlatButtonProc)));
#endif
}

void Redraw(HWND hWnd) {
    InvalidateRect(hWnd, nullptr, TRUE);
    UpdateWindow(hWnd);
}

} // namespace

FlatButton* FlatButton::Create(HWND parent, int id, int x, int y, int w, int h,
                               const std::wstring& text) {
    m_nId = id;
    m_hBitmap = nullptr;
    m_nFrames = 1;
    m_hFont = CreateButtonFont(); // one per button, kept for the life of the process
    m_hWnd = CreateWindowExW(0, L"button", text.c_str(), WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, x, y,
                             w, h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             g_hInst, nullptr);
    m_pfnPrevProc = SubclassButton(m_hWnd);
    g_pfnFlatButtonPrevProc = m_pfnPrevProc;
    g_mapFlatButtons[id] = this;
    return this;
}

LRESULT CALLBACK FlatButtonProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        // Arm tracking once per visit; moving within a hovered button does not
        // re-arm it. The move is deliberately not passed on.
        if (g_nFlatButtonHover == 0) {
            TRACKMOUSEEVENT track;
            track.cbSize = kTrackMouseEventSize;
            track.dwFlags = TME_HOVER | TME_LEAVE;
            track.hwndTrack = hWnd;
            track.dwHoverTime = kHoverTimeMs;
            TrackMouseEvent(&track);
        }
        return 0;
    case WM_MOUSEHOVER:
        g_nFlatButtonHover = 1;
        Redraw(hWnd);
        return 0;
    case WM_MOUSELEAVE:
        g_nFlatButtonHover = 0;
        Redraw(hWnd);
        return 0;
    case WM_GETOBJECT: {
        // The close button draws no text, so its name comes from here.
        LRESULT named = 0;
        if (GetDlgCtrlID(hWnd) == IDC_CLOSE && CloseButtonObject(hWnd, wParam, lParam, named))
            return named;
        return CallWindowProcW(g_pfnFlatButtonPrevProc, hWnd, message, wParam, lParam);
    }
    default:
        return CallWindowProcW(g_pfnFlatButtonPrevProc, hWnd, message, wParam, lParam);
    }
}

namespace {

// A dotted rectangle inside the focused button, once the keyboard is used.
void DrawFocusCue(HDC dc, const RECT& client, const DRAWITEMSTRUCT* item) {
    if (!(item->itemState & ODS_FOCUS) || !PopupFocusCues())
        return;
    const int inset = std::min<int>(kFocusInset, (client.bottom - client.top) / kFocusInsetDivisor);
    RECT cue = client;
    InflateRect(&cue, -inset, -inset);
    DrawFocusRect(dc, &cue);
}

// High contrast: the same rectangle in the system's colours, a one-pixel
// frame and the text, or the close button's cross on the header.
void DrawSystemColoured(const FlatButton* button, const DRAWITEMSTRUCT* item,
                        const PopupPalette& palette) {
    const bool hot = g_nFlatButtonHover == 1;
    const bool close = button->m_nId == IDC_CLOSE;
    const Rgb face =
        close ? (hot ? palette.face : palette.header) : (hot ? palette.hotFace : palette.face);
    const Rgb ink = close ? (hot ? palette.faceText : palette.title)
                          : (hot ? palette.hotText : palette.faceText);
    HBRUSH fill = CreateSolidBrush(face);
    FillRect(item->hDC, &item->rcItem, fill);
    DeleteObject(fill);
    if (close) {
        DrawCross(item->hDC, item->rcItem, ink);
    } else {
        HBRUSH frame = CreateSolidBrush(ink);
        FrameRect(item->hDC, &item->rcItem, frame);
        DeleteObject(frame);
        WCHAR text[kMaxButtonText] = {};
        GetWindowTextW(button->m_hWnd, text, kMaxButtonText);
        Selected font(item->hDC, button->m_hFont);
        SetBkMode(item->hDC, TRANSPARENT);
        SetTextColor(item->hDC, ink);
        RECT r = item->rcItem;
        DrawTextW(item->hDC, text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    DrawFocusCue(item->hDC, item->rcItem, item);
}

} // namespace

void DrawFlatButton(int id, const DRAWITEMSTRUCT* item) {
    auto found = g_mapFlatButtons.find(id);
    if (found == g_mapFlatButtons.end() || !item)
        return;
    const FlatButton* button = found->second;

    // A record always has at least one frame once created; a zero count would
    // only come from a record nobody created, and then there is nothing to draw.
    if (button->m_nFrames == 0)
        return;
    const unsigned int frameWidth =
        static_cast<unsigned int>(button->m_nBitmapWidth) / button->m_nFrames;
    const int sourceX = g_nFlatButtonHover == 1 ? static_cast<int>(frameWidth) : 0;
    const PopupPalette& palette = CurrentPopupPalette();
    if (palette.system) {
        DrawSystemColoured(button, item, palette);
        return;
    }
    {
        MemoryDc memory(item->hDC);
        Selected bitmap(memory.get(), button->m_hBitmap);
        const RECT& r = item->rcItem;
        StretchBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory.get(),
                   sourceX, 0, static_cast<int>(frameWidth), button->m_nBitmapHeight, SRCCOPY);
    }

    if (!button->m_hWnd)
        return;
    // The text goes through the button's own context, over the frame just drawn.
    WindowDc dc(button->m_hWnd);
    Selected font(dc.get(), button->m_hFont);
    SetBkMode(dc.get(), TRANSPARENT);
    SetBkColor(dc.get(), RGB(0, 0, 0));
    WCHAR text[kMaxButtonText] = {};
    GetWindowTextW(button->m_hWnd, text, kMaxButtonText);
    RECT client;
    GetClientRect(button->m_hWnd, &client);
    DrawTextW(dc.get(), text, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    DrawFocusCue(dc.get(), client, item);
}
