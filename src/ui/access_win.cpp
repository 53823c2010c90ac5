// Keyboard, focus, names and colours of the popup. The popup is no dialog,
// and its labels are tab stops by their style, so the loop does not hand
// its keys to IsDialogMessageW: the few keys a dialog would take are taken
// here, with the popup's own order of stops. Focus cues follow the window
// system's UI state (WM_CHANGEUISTATE, UISF_HIDEFOCUS) and are also kept
// here, because not every window system answers WM_QUERYUISTATE. The system
// announces focus moves and controls shown or hidden; the popup's own name
// (its title) changes without a window of its own changing text, so that
// event is sent here.
#include "ui/access_win.h"

#include "app/app_win.h"
#include "i18n/strings.h"
#include "ui/flat_button.h"
#include "ui/popup.h"

#include <oleacc.h>

namespace {

const LPARAM kRepeatBit = 0x40000000; // lParam bit 30 of WM_KEYDOWN: the key was already down
const int kMaxTitle = 256;            // characters of the title read for the popup's name

bool s_focusCues = false; // the keyboard has been used in the popup
PopupPalette s_palette = {};
bool s_paletteRead = false;
std::wstring s_announcedName;
WNDPROC s_progressPrevProc = nullptr;

bool Shows(HWND control) {
    return control && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

// A visible, enabled image button of the popup.
bool IsPressable(HWND popup, HWND control) {
    return control && GetParent(control) == popup &&
           g_mapFlatButtons.count(GetDlgCtrlID(control)) != 0 && Shows(control) &&
           IsWindowEnabled(control);
}

void FocusFirstStop(HWND popup) {
    for (int id : FocusOrder(ShownPopupState())) {
        HWND stop = GetDlgItem(popup, id);
        if (Shows(stop)) {
            SetFocus(stop);
            return;
        }
    }
}

void RedrawAll(HWND popup) {
    RedrawWindow(popup, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

std::wstring PopupName(HWND popup) {
    WCHAR title[kMaxTitle] = {};
    GetWindowTextW(GetDlgItem(popup, IDC_TITLE), title, kMaxTitle);
    return title[0] ? std::wstring(title) : GetString(L"IDS_APP_NAME");
}

std::wstring ProgressName() {
    std::wstring prefix = GetString(L"IDS_DOWNLOAD_PROGRESS");
    const size_t end = prefix.find_last_not_of(L" ");
    return end == std::wstring::npos ? prefix : prefix.substr(0, end + 1);
}

LRESULT CALLBACK ProgressBarProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (message == WM_GETOBJECT && AnswerNameRequest(hWnd, wParam, lParam, ProgressName(), result))
        return result;
    return CallWindowProcW(s_progressPrevProc, hWnd, message, wParam, lParam);
}

void ReadPalette() {
    const SystemColours system = {GetSysColor(COLOR_WINDOW),    GetSysColor(COLOR_WINDOWTEXT),
                                  GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT),
                                  GetSysColor(COLOR_BTNFACE),   GetSysColor(COLOR_BTNTEXT)};
    s_palette = ChoosePopupPalette(HighContrastOn(), system);
    s_paletteRead = true;
}

} // namespace

HWND AcceleratorTarget(HWND hWnd) {
    HWND popup = g_hWndPopup;
    return popup && IsChild(popup, hWnd) ? popup : hWnd;
}

bool PopupKeyboardMessage(const MSG& msg) {
    HWND popup = g_hWndPopup;
    if (msg.message != WM_KEYDOWN || !popup || (msg.hwnd != popup && !IsChild(popup, msg.hwnd)))
        return false;
    switch (msg.wParam) {
    case VK_TAB: {
        const bool backwards = GetKeyState(VK_SHIFT) < 0;
        HWND focus = GetFocus();
        const int current = focus && GetParent(focus) == popup ? GetDlgCtrlID(focus) : 0;
        SendMessageW(popup, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        HWND next = GetDlgItem(popup, NextFocusStop(ShownPopupState(), current, backwards));
        if (Shows(next))
            SetFocus(next);
        return true;
    }
    case VK_RETURN: {
        HWND focus = GetFocus();
        // A held key presses once.
        if (!(msg.lParam & kRepeatBit) && IsPressable(popup, focus))
            SendMessageW(popup, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                         reinterpret_cast<LPARAM>(focus));
        return true;
    }
    case VK_ESCAPE: {
        HWND close = GetDlgItem(popup, IDC_CLOSE);
        if (!(msg.lParam & kRepeatBit) && close)
            SendMessageW(popup, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED),
                         reinterpret_cast<LPARAM>(close));
        return true;
    }
    default:
        return false; // Space reaches the button, which clicks on its release
    }
}

bool PopupAccessMessage(HWND popup, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_SETFOCUS:
        // As a dialog does: activating the popup focuses its first stop.
        FocusFirstStop(popup);
        result = 0;
        return true;
    case WM_GETOBJECT:
        return AnswerNameRequest(popup, wParam, lParam, PopupName(popup), result);
    case WM_CHANGEUISTATE: {
        if (HIWORD(wParam) & UISF_HIDEFOCUS) {
            const bool cues = LOWORD(wParam) == UIS_CLEAR ? true
                              : LOWORD(wParam) == UIS_SET ? false
                                                          : s_focusCues;
            if (cues != s_focusCues) {
                s_focusCues = cues;
                RedrawAll(popup);
            }
        }
        return false; // DefWindowProc hands the state on to the controls
    }
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        s_paletteRead = false; // read again at the next paint
        RedrawAll(popup);
        return false;
    default:
        return false;
    }
}

void PreparePopupAccess(HWND popup) {
    SendMessageW(popup, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    HWND bar = GetDlgItem(popup, IDC_PROGRESS_BAR);
    if (bar && !s_progressPrevProc)
        s_progressPrevProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProgressBarProc)));
    // The colours are read at the first paint: a popup that is never shown
    // (switched off, no remote) asks nothing of the system.
    s_paletteRead = false;
}

void AnnouncePopupState(HWND popup) {
    // Focus and the announced name belong to the popup's thread; a worker
    // applying a state leaves the focus to the WM_SETFOCUS the popup gets
    // when its focused button hides, and never changes the title.
    if (!popup || GetWindowThreadProcessId(popup, nullptr) != GetCurrentThreadId())
        return;
    HWND focus = GetFocus();
    if (focus == popup || (focus && GetParent(focus) == popup && !Shows(focus)))
        FocusFirstStop(popup);
    const std::wstring name = PopupName(popup);
    if (name != s_announcedName) {
        s_announcedName = name;
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, popup, OBJID_WINDOW, CHILDID_SELF);
    }
}

bool CloseButtonObject(HWND button, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return AnswerNameRequest(button, wParam, lParam, GetString(L"IDS_CLOSE"), result);
}

bool PopupFocusCues() {
    return s_focusCues;
}

const PopupPalette& CurrentPopupPalette() {
    if (!s_paletteRead)
        ReadPalette();
    return s_palette;
}

namespace {

// A pen of `colour` selected into `dc` for the scope, then deleted.
class OnePen {
  public:
    OnePen(HDC dc, int width, Rgb colour)
        : m_hDc(dc), m_hPen(CreatePen(PS_SOLID, width, colour)),
          m_hPrev(m_hPen ? SelectObject(dc, m_hPen) : nullptr) {}
    ~OnePen() {
        if (m_hPrev)
            SelectObject(m_hDc, m_hPrev);
        if (m_hPen)
            DeleteObject(m_hPen);
    }
    OnePen(const OnePen&) = delete;
    OnePen& operator=(const OnePen&) = delete;

  private:
    HDC m_hDc;
    HPEN m_hPen;
    HGDIOBJ m_hPrev;
};

const int kChevronStroke = 3;
const int kCrossStroke = 2;
const int kCrossInset = 4;

} // namespace

void DrawChevron(HDC dc, int x, int y, int size, Rgb colour) {
    OnePen pen(dc, kChevronStroke, colour);
    const POINT points[] = {{x + size / 3, y + size / 4},
                            {x + size * 2 / 3, y + size / 2},
                            {x + size / 3, y + size * 3 / 4}};
    Polyline(dc, points, 3);
}

void DrawCross(HDC dc, const RECT& r, Rgb colour) {
    OnePen pen(dc, kCrossStroke, colour);
    MoveToEx(dc, r.left + kCrossInset, r.top + kCrossInset, nullptr);
    LineTo(dc, r.right - kCrossInset, r.bottom - kCrossInset);
    MoveToEx(dc, r.right - kCrossInset, r.top + kCrossInset, nullptr);
    LineTo(dc, r.left + kCrossInset, r.bottom - kCrossInset);
}

bool SystemHighContrast() {
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}
