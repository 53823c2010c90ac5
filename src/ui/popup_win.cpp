// The popup window: its window procedure, the controls built at WM_CREATE,
// the painted header and outline, dragging by the background, the button
// commands, and the four layout states. Geometry comes from layout.cpp so
// the same numbers are tested on both builds; this file only turns them
// into windows. Fonts and bitmaps made here are kept for the life of the
// process.
#include "ui/popup.h"

#include "app/app.h"
#include "app/app_win.h"
#include "device/arrival.h"
#include "device/device.h"
#include "download/download.h"
#include "i18n/strings.h"
#include "net/document_wait.h"
#include "resource.h"
#include "support/lock.h"
#include "support/trace.h"
#include "ui/access_win.h"
#include "ui/flat_button.h"
#include "ui/gdi_hold.h"

#include <atomic>
#include <commctrl.h>
#include <map>

HWND g_hProgressBar = nullptr;

namespace {

const int kLogoSize = 32;
const int kLogoX = 9;
const int kLabelFontBase = 30;
const int kSmallFontBase = 22;
const int kProgressMax = 100;
const DWORD kNeverAskSettleMs = 50;
const int kLabelModeLeft = 1;   // vertically centred, left-aligned
const int kLabelModeCentre = 2; // centred both ways
const wchar_t kFontFace[] = L"微软雅黑";

// The popup while its WM_CREATE builds the controls: g_hWndPopup is stored
// only after CreateWindowExW returns.
std::atomic<HWND> s_hWndBuilding{nullptr};

// The state SetPopupState applied last; the worker applies states too.
std::atomic<int> s_shownState{PopupOffer};

HFONT s_hLabelFont = nullptr; // both created once per process and kept
HFONT s_hSmallFont = nullptr;

HFONT MakeFont(int height) {
    return CreateFontW(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                       FF_SWISS, kFontFace);
}

// Bitmaps are loaded once per resource id and kept; Download and Open share one.
HBITMAP ButtonBitmap(int resourceId) {
    static std::map<int, HBITMAP> loaded;
    HBITMAP& bitmap = loaded[resourceId];
    if (!bitmap)
        bitmap = LoadBitmapW(g_hInst, MAKEINTRESOURCEW(resourceId));
    return bitmap;
}

HWND PopupWindow() {
    HWND building = s_hWndBuilding.load();
    return building ? building : g_hWndPopup;
}

struct ButtonSpec {
    int id;
    CtlRect PopupLayout::*rect;
    const wchar_t* textId; // null: no text
    int bitmap;
    int bitmapWidth, bitmapHeight;
};

// Creation order matters for the tab order and the registry.
const ButtonSpec kButtons[] = {
    {IDC_CLOSE, &PopupLayout::close, nullptr, IDB_CLOSE, 32, 16},
    {IDC_DOWNLOAD, &PopupLayout::download, L"IDS_DOWNLOAD", IDB_BLUE_BUTTON, 216, 52},
    {IDC_OPEN, &PopupLayout::open, L"IDS_OPEN", IDB_BLUE_BUTTON, 216, 52},
    {IDC_LATER, &PopupLayout::later, L"IDS_LATER", IDB_GREY_BUTTON, 216, 52},
    {IDC_NEVER_ASK, &PopupLayout::neverAsk, L"IDS_QUIT", IDB_NEVER_ASK, 150, 30},
};
const unsigned int kButtonFrames = 2;

PopupLayout CurrentLayout() {
    return ComputePopupLayout(g_nScreenWidth, g_nScreenHeight, g_nStringTableId == IDR_STRINGS_JA);
}

void Paint(HWND hWnd) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hWnd, &ps);
    RECT client;
    GetClientRect(hWnd, &client);
    const int H = CurrentLayout().header;
    const int W = g_nPopupWidth;
    const int Hp = g_nPopupHeight;
    const PopupPalette& palette = CurrentPopupPalette();

    RECT header = client;
    header.bottom = header.top + H;
    HBRUSH band = CreateSolidBrush(palette.header);
    FillRect(hdc, &header, band);
    DeleteObject(band);

    // The context's default pen: black, one pixel (in high contrast, one of
    // the text colour). LineTo leaves out its end point, and the top line
    // lies on row 1 so row 0 keeps the header's colour.
    HPEN pen = palette.system ? CreatePen(PS_SOLID, 1, palette.text) : nullptr;
    {
        Selected outline(hdc, pen);
        MoveToEx(hdc, 0, 1, nullptr);
        LineTo(hdc, W, 1);
        MoveToEx(hdc, 0, 0, nullptr);
        LineTo(hdc, 0, Hp);
        MoveToEx(hdc, W - 1, 0, nullptr);
        LineTo(hdc, W - 1, Hp);
        MoveToEx(hdc, 0, Hp - 1, nullptr);
        LineTo(hdc, W, Hp - 1);
    }
    if (pen)
        DeleteObject(pen);

    if (palette.system) {
        DrawChevron(hdc, kLogoX, H / 2 - kLogoSize / 2, kLogoSize, palette.title);
    } else {
        MemoryDc memory(hdc);
        Selected logo(memory.get(), g_hLogoBitmap);
        BitBlt(hdc, kLogoX, H / 2 - kLogoSize / 2, kLogoSize, kLogoSize, memory.get(), 0, 0,
               SRCCOPY);
    }
    EndPaint(hWnd, &ps);
}

LRESULT HitTest(HWND hWnd, LPARAM lParam) {
    // Signed words: screen coordinates left of or above the primary monitor are negative.
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ScreenToClient(hWnd, &pt);
    RECT rc;
    GetClientRect(hWnd, &rc);
    return PopupHitTest(pt.x, pt.y, rc.left, rc.top, rc.right, rc.bottom);
}

void HidePopup(HWND hWnd) {
    ShowWindow(hWnd, SW_HIDE);
    g_bOfferShown = false;
}

void NeverAsk() {
    const std::wstring ini = GetIniPath();
    // A module named with an upper-case extension maps to itself; writing the
    // profile there would corrupt the program file.
    if (NeverAskMayWrite(GetModulePath(), ini))
        WritePrivateProfileStringW(L"Option", L"Notify", L"off", ini.c_str());
    SetDownloading(false);
    Sleep(kNeverAskSettleMs);
    PostQuitMessage(0);
}

bool OnCommand(HWND hWnd, int id, int code) {
    // Owner-drawn buttons also notify BN_DOUBLECLICKED: only a click presses
    // one, so a double click acts once.
    if (id >= IDC_CLOSE && id <= IDC_NEVER_ASK && code != BN_CLICKED)
        return true;
    switch (id) {
    case IDM_ABOUT:
        DialogBoxParamW(g_hInst, MAKEINTRESOURCEW(IDD_ABOUTBOX), hWnd, AboutDlgProc, 0);
        return true;
    case IDM_EXIT:
        DestroyWindow(hWnd);
        return true;
    case IDC_CLOSE:
    case IDC_LATER:
        HidePopup(hWnd);
        return true;
    case IDC_DOWNLOAD:
        SetPopupState(PopupDownloading);
        StartDownloadWorker();
        return true;
    case IDC_OPEN:
        if (OpenAllowed(static_cast<PopupState>(s_shownState.load()), IsDownloadWorkerRunning()))
            OpenInstaller();
        else
            TraceLine("open refused: no verified download to start");
        return true;
    case IDC_NEVER_ASK:
        NeverAsk();
        return true;
    default:
        return false;
    }
}

} // namespace

HWND CreateLabel(HWND parent, int id, int x, int y, int w, int h, HFONT font, int mode,
                 const std::wstring& text) {
    SIZE extent = {0, 0};
    {
        WindowDc dc(parent);
        Selected selected(dc.get(), font);
        GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    // Chosen once from the text at creation: a text that fits on one line is
    // centred; a longer one wraps from the top left.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | SS_LEFT;
    if (extent.cx < w) {
        if (mode == kLabelModeLeft)
            style |= SS_CENTERIMAGE;
        else if (mode == kLabelModeCentre)
            style |= SS_CENTER | SS_CENTERIMAGE;
    }
    HWND label =
        CreateWindowExW(0, L"static", text.c_str(), style, x, y, w, h, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_hInst, nullptr);
    SetWindowLongW(label, GWL_EXSTYLE, WS_EX_TRANSPARENT);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return label;
}

void BuildPopupControls(HWND hWnd) {
    s_hWndBuilding = hWnd;
    LoadStringTable();
    if (!s_hLabelFont)
        s_hLabelFont = MakeFont(ScaleX(kLabelFontBase));
    if (!s_hSmallFont)
        s_hSmallFont = MakeFont(ScaleX(kSmallFontBase));
    const PopupLayout l = CurrentLayout();

    auto label = [&](int id, const CtlRect& r, int mode, const std::wstring& text) {
        CreateLabel(hWnd, id, r.x, r.y, r.w, r.h, s_hLabelFont, mode, text);
    };
    label(IDC_TITLE, l.title, kLabelModeLeft, GetString(L"IDS_APP_NAME"));
    label(IDC_OFFER_TEXT, l.offerText, kLabelModeCentre, GetString(L"IDS_DOWNLOAD_TIPS"));
    label(IDC_SUCCESS_TEXT, l.successText, kLabelModeCentre, GetString(L"IDS_DOWNLOAD_SUCCED"));
    label(IDC_FAILURE_TEXT, l.failureText, kLabelModeCentre, GetString(L"IDS_DOWNLOAD_FAIL"));

    const CtlRect& bar = l.progressBar;
    g_hProgressBar = CreateWindowExW(
        0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, bar.x, bar.y, bar.w, bar.h, hWnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)), g_hInst, nullptr);
    label(IDC_PROGRESS_TEXT, l.progressText, kLabelModeCentre,
          GetString(L"IDS_DOWNLOAD_PROGRESS") + L"00%");
    SendMessageW(g_hProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressMax));

    for (const ButtonSpec& each : kButtons) {
        const CtlRect& r = l.*each.rect;
        // Records live as long as the process: the registry points at them.
        FlatButton* button = (new FlatButton())
                                 ->Create(hWnd, each.id, r.x, r.y, r.w, r.h,
                                          each.textId ? GetString(each.textId) : std::wstring());
        button->m_hBitmap = ButtonBitmap(each.bitmap);
        button->m_nFrames = kButtonFrames;
        button->m_nBitmapWidth = each.bitmapWidth;
        button->m_nBitmapHeight = each.bitmapHeight;
        if (each.id == IDC_NEVER_ASK)
            button->m_hFont = s_hSmallFont;
    }

    SetPopupState(PopupOffer);
    PreparePopupAccess(hWnd);
    s_hWndBuilding = nullptr;
}

void SetPopupState(PopupState state) {
    s_shownState.store(state);
    HWND popup = PopupWindow();
    for (int id : kSwitchedControls) {
        HWND control = GetDlgItem(popup, id);
        if (control)
            ShowWindow(control, StateShows(state, id) ? SW_SHOW : SW_HIDE);
    }
    AnnouncePopupState(popup);
}

PopupState ShownPopupState() {
    return static_cast<PopupState>(s_shownState.load());
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT answered = 0;
    if (PopupAccessMessage(hWnd, message, wParam, lParam, answered))
        return answered;
    switch (message) {
    case WM_CREATE:
        BuildPopupControls(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        Paint(hWnd);
        return 0;
    case WM_DRAWITEM:
        DrawFlatButton(static_cast<int>(wParam), reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 0;
    case WM_NCHITTEST:
        return HitTest(hWnd, lParam);
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const PopupPalette& palette = CurrentPopupPalette();
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_TITLE)
            SetTextColor(dc, palette.title);
        else if (palette.system)
            SetTextColor(dc, palette.text);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    case WM_DEVICECHANGE:
        OnDeviceChange(hWnd, wParam, lParam);
        return 0;
    case WM_QMX_DOWNLOAD_ENDED:
        // Sent while a start-up or arrival step waits for its fetch: that
        // step may still apply the offer, so the end is taken after it, from
        // the message loop, and the completed or failed state is not lost.
        if (FetchWaitUnderway() && PostMessageW(hWnd, message, wParam, lParam))
            return kDownloadEndTaken;
        return TakeDownloadEnd(static_cast<unsigned>(wParam), static_cast<intptr_t>(lParam))
                   ? kDownloadEndTaken
                   : 0;
    case WM_ENDSESSION:
        // The session ends: the system may end the process once this
        // returns, so a running download ends it here, with exit code 0.
        if (wParam) {
            EndProcessIfDownloading(0);
            DestroyWindow(hWnd);
        }
        return 0;
    case WM_COMMAND:
        if (OnCommand(hWnd, LOWORD(wParam), HIWORD(wParam)))
            return 0;
        return DefWindowProcW(hWnd, message, wParam, lParam);
    default:
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
}

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
