// The popup as real windows: a window of the real class procedure is made the
// way start-up makes it (hidden, then frameless), and its controls, states,
// hit testing, label colours, commands, About box and flat buttons are checked
// through the window system. Painting is read back from the shown window.
//
// QMX_UI_HOLD_MS=<ms> keeps the shown popup on screen that long in the paint
// test, to take a screenshot of it.
#include "app/app.h"
#include "app/app_win.h"
#include "device/device.h"
#include "download/download.h"
#include "i18n/strings.h"
#include "qmx_version.h"
#include "resource.h"
#include "support/lock.h"
#include "ui/flat_button.h"
#include "ui/popup.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t kTestClass[] = L"QMX_POPUP_TEST";
const int kAllControls[] = {19001, 19002, 19003, 19004, 20005, 19005,
                            20000, 20001, 20003, 20002, 20004};

void RegisterTestClass() {
    static bool done = false;
    if (done)
        return;
    WNDCLASSEXW wcex = {};
    wcex.cbSize = sizeof(wcex);
    wcex.style = CS_HREDRAW | CS_VREDRAW;
    wcex.lpfnWndProc = WndProc;
    wcex.hInstance = GetModuleHandleW(nullptr);
    wcex.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wcex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wcex.lpszClassName = kTestClass;
    RegisterClassExW(&wcex);
    done = true;
}

// Takes every queued message (WM_QUIT included) off this thread's queue and
// reports whether a WM_QUIT was among them.
bool DrainQueueForQuit() {
    bool quit = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            quit = true;
        else
            DispatchMessageW(&msg);
    }
    return quit;
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_QUIT)
                DispatchMessageW(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

RECT ClientRectOf(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool HasStyle(HWND hWnd, LONG bits) {
    return (GetWindowLongW(hWnd, GWL_STYLE) & bits) == bits;
}

std::wstring ClassOf(HWND hWnd) {
    WCHAR name[64] = {};
    GetClassNameW(hWnd, name, 64);
    return name;
}

LONG FontHeight(HFONT font) {
    LOGFONTW lf = {};
    GetObjectW(font, sizeof(lf), &lf);
    return lf.lfHeight;
}

// The pixels of a bitmap as 32-bit BGRX rows, top-down.
std::vector<DWORD> BitmapPixels(HBITMAP bitmap, int w, int h) {
    std::vector<DWORD> pixels(static_cast<size_t>(w) * h);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (DWORD& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

// A 32-bit top-down DIB section selected into its own memory context.
class Canvas {
  public:
    Canvas(int w, int h) : w_(w), h_(h) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        dib_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                nullptr, 0);
        old_ = SelectObject(dc_, dib_);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(dib_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    void Fill(DWORD bgr) {
        GdiFlush();
        for (int i = 0; i < w_ * h_; ++i)
            bits_[i] = bgr;
    }
    std::vector<DWORD> Pixels() const {
        GdiFlush();
        std::vector<DWORD> out(bits_, bits_ + w_ * h_);
        for (DWORD& p : out)
            p &= 0xFFFFFF;
        return out;
    }

  private:
    int w_, h_;
    HDC dc_;
    HBITMAP dib_;
    HGDIOBJ old_;
    DWORD* bits_ = nullptr;
};

// Where two pixel blocks of width `w` differ: empty when they match.
std::string Mismatch(const std::vector<DWORD>& got, const std::vector<DWORD>& want, int w) {
    if (got.size() != want.size())
        return "sizes differ";
    int count = 0;
    std::string first;
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] == want[i])
            continue;
        if (count++ == 0) {
            char line[96];
            snprintf(line, sizeof(line), "first at (%d,%d): %06lx instead of %06lx",
                     static_cast<int>(i % w), static_cast<int>(i / w),
                     static_cast<unsigned long>(got[i]), static_cast<unsigned long>(want[i]));
            first = line;
        }
    }
    return count ? std::to_string(count) + " pixels differ, " + first : std::string();
}

// One frame of a side-by-side bitmap.
std::vector<DWORD> Frame(const std::vector<DWORD>& all, int bitmapW, int frameW, int h, int index) {
    std::vector<DWORD> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < frameW; ++x)
            out.push_back(all[static_cast<size_t>(y) * bitmapW + index * frameW + x]);
    return out;
}

class Popup : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterTestClass();
        g_hInst = GetModuleHandleW(nullptr);
        g_nScreenWidth = GetSystemMetrics(SM_CXSCREEN);
        g_nScreenHeight = GetSystemMetrics(SM_CYSCREEN);
        g_nPopupWidth = ScaleX(500);
        g_nPopupHeight = ScaleY(300);
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        if (!g_hLogoBitmap)
            g_hLogoBitmap = LoadBitmapW(g_hInst, MAKEINTRESOURCEW(IDB_LOGO));

        // As start-up does it: the handle is stored only after creation.
        g_hWndPopup = nullptr;
        popup_ = CreateWindowExW(0, kTestClass, L"qmx", WS_POPUPWINDOW, 100, 100, g_nPopupWidth,
                                 g_nPopupHeight, nullptr, nullptr, g_hInst, nullptr);
        ASSERT_NE(popup_, nullptr);
        g_hWndPopup = popup_;
        LONG style = GetWindowLongW(popup_, GWL_STYLE);
        style &= ~WS_CAPTION;
        style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        SetWindowLongW(popup_, GWL_STYLE, style);
        RECT rc;
        GetWindowRect(popup_, &rc);
        SetWindowPos(popup_, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_FRAMECHANGED);
        layout_ =
            ComputePopupLayout(g_nScreenWidth, g_nScreenHeight, g_nStringTableId == IDR_STRINGS_JA);
    }
    void TearDown() override {
        if (IsWindow(popup_))
            DestroyWindow(popup_);
        DrainQueueForQuit();
        g_hWndPopup = nullptr;
        g_nFlatButtonHover = 0;
    }

    HWND Item(int id) const { return GetDlgItem(popup_, id); }
    LRESULT HitAtClient(int x, int y) const {
        POINT pt = {x, y};
        ClientToScreen(popup_, &pt);
        return SendMessageW(popup_, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    }
    void ExpectState(PopupState state, const char* name) const {
        for (int id : kSwitchedControls)
            EXPECT_EQ(HasStyle(Item(id), WS_VISIBLE), StateShows(state, id))
                << name << ": control " << id;
        EXPECT_TRUE(HasStyle(Item(IDC_TITLE), WS_VISIBLE)) << name;
        EXPECT_TRUE(HasStyle(Item(IDC_CLOSE), WS_VISIBLE)) << name;
    }

    HWND popup_ = nullptr;
    PopupLayout layout_{};
};

TEST_F(Popup, EveryControlHasItsClassAndPlace) {
    struct Expect {
        int id;
        const wchar_t* cls;
        const CtlRect& r;
    };
    const Expect expected[] = {
        {19001, L"static", layout_.title},
        {19002, L"static", layout_.offerText},
        {19003, L"static", layout_.successText},
        {19004, L"static", layout_.failureText},
        {20005, L"msctls_progress32", layout_.progressBar},
        {19005, L"static", layout_.progressText},
        {20000, L"button", layout_.close},
        {20001, L"button", layout_.download},
        {20003, L"button", layout_.open},
        {20002, L"button", layout_.later},
        {20004, L"button", layout_.neverAsk},
    };
    for (const Expect& e : expected) {
        HWND control = Item(e.id);
        ASSERT_NE(control, nullptr) << e.id;
        EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), e.cls), 0) << e.id;
        EXPECT_EQ(GetDlgCtrlID(control), e.id);
        const RECT r = ClientRectOf(control, popup_);
        EXPECT_EQ(r.left, e.r.x) << e.id;
        EXPECT_EQ(r.top, e.r.y) << e.id;
        EXPECT_EQ(r.right - r.left, e.r.w) << e.id;
        EXPECT_EQ(r.bottom - r.top, e.r.h) << e.id;
    }
    EXPECT_EQ(g_hProgressBar, Item(IDC_PROGRESS_BAR));
    EXPECT_EQ(SendMessageW(g_hProgressBar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(SendMessageW(g_hProgressBar, PBM_GETRANGE, TRUE, 0), 0);

    RECT client;
    GetClientRect(popup_, &client);
    EXPECT_EQ(client.right, g_nPopupWidth);
    EXPECT_EQ(client.bottom, g_nPopupHeight);
}

TEST_F(Popup, ControlsAreCreatedInCatalogueOrder) {
    std::vector<int> order;
    for (HWND c = GetWindow(popup_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        order.push_back(GetDlgCtrlID(c));
    EXPECT_EQ(order, std::vector<int>(std::begin(kAllControls), std::end(kAllControls)));
}

TEST_F(Popup, ScreenOfFullHdGivesTheCatalogueNumbers) {
    if (g_nScreenWidth != 1920 || g_nScreenHeight != 1080)
        GTEST_SKIP() << "screen is " << g_nScreenWidth << "x" << g_nScreenHeight;
    const RECT later = ClientRectOf(Item(IDC_LATER), popup_);
    EXPECT_EQ(later.left, 280);
    EXPECT_EQ(later.top, 180);
    const RECT close = ClientRectOf(Item(IDC_CLOSE), popup_);
    EXPECT_EQ(close.left, 470);
    EXPECT_EQ(close.top, 17);
}

TEST_F(Popup, TextsComeFromTheStringMap) {
    WCHAR text[256];
    GetWindowTextW(Item(IDC_TITLE), text, 256);
    EXPECT_EQ(std::wstring(text), GetString(L"IDS_APP_NAME"));
    GetWindowTextW(Item(IDC_PROGRESS_TEXT), text, 256);
    EXPECT_EQ(std::wstring(text), GetString(L"IDS_DOWNLOAD_PROGRESS") + L"00%");
    GetWindowTextW(Item(IDC_NEVER_ASK), text, 256);
    EXPECT_EQ(std::wstring(text), GetString(L"IDS_QUIT"));
    GetWindowTextW(Item(IDC_OPEN), text, 256);
    EXPECT_EQ(std::wstring(text), GetString(L"IDS_OPEN"));
    GetWindowTextW(Item(IDC_CLOSE), text, 256);
    EXPECT_EQ(std::wstring(text), L"");
}

TEST_F(Popup, CreationLeavesTheOfferState) {
    // g_hWndPopup was null while WM_CREATE ran: the state must have gone to
    // the window being created.
    ExpectState(PopupOffer, "after creation");
}

TEST_F(Popup, SetPopupStateFollowsTheTable) {
    ExpectState(PopupOffer, "offer");
    SetPopupState(PopupDownloading);
    ExpectState(PopupDownloading, "downloading");
    SetPopupState(PopupCompleted);
    ExpectState(PopupCompleted, "completed");
    SetPopupState(PopupFailed);
    ExpectState(PopupFailed, "failed");
    SetPopupState(PopupOffer);
    ExpectState(PopupOffer, "offer again");
    // The popup itself is neither shown nor hidden by a state change.
    EXPECT_FALSE(IsWindowVisible(popup_));
}

TEST_F(Popup, SetPopupStateSkipsMissingControls) {
    DestroyWindow(Item(IDC_OPEN));
    DestroyWindow(Item(IDC_PROGRESS_BAR));
    SetPopupState(PopupCompleted);
    EXPECT_TRUE(HasStyle(Item(IDC_SUCCESS_TEXT), WS_VISIBLE));
    EXPECT_TRUE(HasStyle(Item(IDC_LATER), WS_VISIBLE));
    EXPECT_FALSE(HasStyle(Item(IDC_OFFER_TEXT), WS_VISIBLE));
}

TEST_F(Popup, BackgroundAndLabelsDragButtonsDoNot) {
    EXPECT_EQ(HitAtClient(250, 130), HTCAPTION);
    EXPECT_EQ(HitAtClient(5, 5), HTCAPTION);
    EXPECT_EQ(HitAtClient(0, 150), HTLEFT);
    EXPECT_EQ(HitAtClient(1, 0), HTTOPLEFT);
    EXPECT_EQ(HitAtClient(g_nPopupWidth - 1, 150), HTRIGHT);
    EXPECT_EQ(HitAtClient(g_nPopupWidth - 2, 150), HTCAPTION);
    EXPECT_EQ(HitAtClient(250, g_nPopupHeight - 1), HTBOTTOM);

    // Labels pass hit testing through to the popup, so pressing on a text
    // drags the window as its caption.
    for (int id : {19001, 19002, 19005})
        EXPECT_EQ(SendMessageW(Item(id), WM_NCHITTEST, 0, 0), HTTRANSPARENT) << id;

    // A button is a window of its own over its rectangle: the popup's hit
    // test is never asked there.
    ShowWindow(popup_, SW_SHOWNOACTIVATE);
    for (int id : {20000, 20001, 20002, 20004}) {
        const RECT r = ClientRectOf(Item(id), popup_);
        POINT pt = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        EXPECT_EQ(ChildWindowFromPointEx(popup_, pt, CWP_SKIPINVISIBLE), Item(id)) << id;
    }
    POINT background = {5, g_nPopupHeight / 2};
    EXPECT_EQ(ChildWindowFromPointEx(popup_, background, CWP_SKIPINVISIBLE), popup_);
}

TEST_F(Popup, HitTestReadsSignedScreenCoordinates) {
    // Placed left of and above the primary monitor (a second screen there).
    SetWindowPos(popup_, nullptr, -300, -200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(HitAtClient(10, 150), HTCAPTION);
    EXPECT_EQ(HitAtClient(0, 150), HTLEFT);
    EXPECT_EQ(HitAtClient(250, 0), HTTOP);
    EXPECT_EQ(HitAtClient(g_nPopupWidth - 1, 150), HTRIGHT);
}

TEST_F(Popup, LabelColoursAndNullBrush) {
    HDC dc = CreateCompatibleDC(nullptr);
    const COLORREF before = RGB(1, 2, 3);

    SetTextColor(dc, before);
    SetBkMode(dc, OPAQUE);
    LRESULT brush = SendMessageW(popup_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(Item(IDC_TITLE)));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);

    for (int id : {19002, 19003, 19004, 19005}) {
        SetTextColor(dc, before);
        SetBkMode(dc, OPAQUE);
        brush = SendMessageW(popup_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(Item(id)));
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(NULL_BRUSH)) << id;
        EXPECT_EQ(GetTextColor(dc), before) << id;
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT) << id;
    }
    DeleteDC(dc);
}

TEST_F(Popup, LabelsUseTheLabelFontAndTransparentStyle) {
    for (int id : {19001, 19002, 19003, 19004, 19005}) {
        HWND label = Item(id);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr) << id;
        EXPECT_EQ(FontHeight(font), ScaleX(30)) << id;
        EXPECT_EQ(GetWindowLongW(label, GWL_EXSTYLE), WS_EX_TRANSPARENT) << id;
        EXPECT_TRUE(HasStyle(label, WS_CHILD | WS_TABSTOP)) << id;
    }
}

TEST_F(Popup, LabelAlignmentIsChosenFromTheTextAtCreation) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(Item(IDC_TITLE), WM_GETFONT, 0, 0));
    const LONG kAlign = SS_TYPEMASK; // SS_CENTER lives in the type bits

    HWND shortTitle = CreateLabel(popup_, 30001, 40, 0, 350, 50, font, 1, L"QMX");
    EXPECT_TRUE(HasStyle(shortTitle, SS_CENTERIMAGE));
    EXPECT_EQ(GetWindowLongW(shortTitle, GWL_STYLE) & kAlign, SS_LEFT);

    // Wider than 350 pixels: wraps from the top left.
    const std::wstring longText(60, L'W');
    HWND longTitle = CreateLabel(popup_, 30002, 40, 0, 350, 50, font, 1, longText);
    EXPECT_FALSE(HasStyle(longTitle, SS_CENTERIMAGE));
    EXPECT_EQ(GetWindowLongW(longTitle, GWL_STYLE) & kAlign, SS_LEFT);

    HWND shortText = CreateLabel(popup_, 30003, 20, 70, 460, 110, font, 2, L"OK");
    EXPECT_TRUE(HasStyle(shortText, SS_CENTERIMAGE));
    EXPECT_EQ(GetWindowLongW(shortText, GWL_STYLE) & kAlign, SS_CENTER);

    HWND longText2 = CreateLabel(popup_, 30004, 20, 70, 460, 110, font, 2, longText);
    EXPECT_FALSE(HasStyle(longText2, SS_CENTERIMAGE));
    EXPECT_EQ(GetWindowLongW(longText2, GWL_STYLE) & kAlign, SS_LEFT);

    // A later text does not change the alignment.
    SetWindowTextW(shortTitle, longText.c_str());
    EXPECT_TRUE(HasStyle(shortTitle, SS_CENTERIMAGE));
}

TEST_F(Popup, CloseAndLaterHideAndClearTheOffer) {
    for (int id : {IDC_CLOSE, IDC_LATER}) {
        ShowWindow(popup_, SW_SHOWNOACTIVATE);
        g_bOfferShown = true;
        EXPECT_EQ(SendMessageW(popup_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(Item(id))),
                  0);
        EXPECT_FALSE(IsWindowVisible(popup_)) << id;
        EXPECT_FALSE(g_bOfferShown) << id;
        EXPECT_TRUE(IsWindow(popup_)) << id;
    }
}

// The owner-drawn buttons notify a double click as well; it presses nothing.
TEST_F(Popup, OnlyAClickPressesAButton) {
    ShowWindow(popup_, SW_SHOWNOACTIVATE);
    g_bOfferShown = true;
    SendMessageW(popup_, WM_COMMAND, MAKEWPARAM(IDC_LATER, BN_DOUBLECLICKED),
                 reinterpret_cast<LPARAM>(Item(IDC_LATER)));
    EXPECT_TRUE(IsWindowVisible(popup_));
    EXPECT_TRUE(g_bOfferShown);
}

TEST_F(Popup, ClickingCloseReachesTheCommand) {
    ShowWindow(popup_, SW_SHOWNOACTIVATE);
    g_bOfferShown = true;
    // A real click: the button turns it into BN_CLICKED for its parent.
    SendMessageW(Item(IDC_CLOSE), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowVisible(popup_));
    EXPECT_FALSE(g_bOfferShown);
}

TEST_F(Popup, DownloadSwitchesToDownloadingAndStartsOneWorker) {
    // No server directory: the worker's fetch fails at once.
    SetStoredUrlDirectory("");
    SendMessageW(popup_, WM_COMMAND, IDC_DOWNLOAD, 0);
    // The worker's own state changes reach this thread only when it pumps,
    // so this is the state the command itself applied.
    ExpectState(PopupDownloading, "after Download");
    EXPECT_TRUE(IsDownloadWorkerRunning());
    // An end message without the run's token (any process can send one) is
    // not taken: the run goes on.
    EXPECT_EQ(SendMessageW(popup_, WM_QMX_DOWNLOAD_ENDED, PopupCompleted, 0x1234), 0);
    EXPECT_EQ(SendMessageW(popup_, WM_QMX_DOWNLOAD_ENDED, PopupCompleted, 0), 0);
    ExpectState(PopupDownloading, "after a forged end");
    EXPECT_TRUE(IsDownloadWorkerRunning());
    // Let the worker finish and apply its end state.
    const DWORD start = GetTickCount();
    while (IsDownloadWorkerRunning() && GetTickCount() - start < 60000)
        Pump(50);
    EXPECT_FALSE(IsDownloadWorkerRunning());
    ExpectState(PopupFailed, "after the worker");
}

TEST_F(Popup, NeverAskWritesOffClearsDownloadingAndQuits) {
    const std::wstring ini = GetIniPath();
    DeleteFileW(ini.c_str());
    SetDownloading(true);
    SendMessageW(popup_, WM_COMMAND, IDC_NEVER_ASK, 0);

    WCHAR value[16] = {};
    GetPrivateProfileStringW(L"Option", L"Notify", L"", value, 16, ini.c_str());
    EXPECT_STREQ(value, L"off");
    EXPECT_FALSE(IsDownloading());
    EXPECT_TRUE(DrainQueueForQuit());
    // The window is not destroyed first; the loop simply ends.
    EXPECT_TRUE(IsWindow(popup_));
    DeleteFileW(ini.c_str());
}

TEST_F(Popup, ExitDestroysThePopupAndQuits) {
    SendMessageW(popup_, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_FALSE(IsWindow(popup_));
    EXPECT_TRUE(DrainQueueForQuit());
}

TEST_F(Popup, UnknownCommandChangesNothing) {
    ShowWindow(popup_, SW_SHOWNOACTIVATE);
    g_bOfferShown = true;
    SendMessageW(popup_, WM_COMMAND, 12345, 0);
    EXPECT_TRUE(IsWindowVisible(popup_));
    EXPECT_TRUE(g_bOfferShown);
    ExpectState(PopupOffer, "after an unknown command");
    EXPECT_FALSE(DrainQueueForQuit());
}

// What the timer saw of the About box while it was open.
struct AboutSeen {
    bool found = false;
    RECT duRect{};
    RECT client{};
    bool hasIcon = false, hasOk = false;
    std::wstring product;
    WPARAM answer = IDOK;
};
AboutSeen g_about;

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM out) {
    WCHAR cls[16] = {};
    GetClassNameW(hWnd, cls, 16);
    if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hWnd)) {
        *reinterpret_cast<HWND*>(out) = hWnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AboutTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dlg = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dlg));
    if (!dlg)
        return;
    // Left open for a screenshot when QMX_UI_HOLD_MS asks for it.
    if (const char* hold = std::getenv("QMX_UI_HOLD_MS")) {
        static DWORD firstSeen = GetTickCount();
        if (GetTickCount() - firstSeen < static_cast<DWORD>(std::atoi(hold)))
            return;
    }
    KillTimer(nullptr, id);
    g_about.found = true;
    g_about.duRect = {0, 0, 170, 62};
    MapDialogRect(dlg, &g_about.duRect);
    GetClientRect(dlg, &g_about.client);
    g_about.hasIcon = GetDlgItem(dlg, IDC_ABOUT_ICON) != nullptr;
    g_about.hasOk = GetDlgItem(dlg, IDOK) != nullptr;
    WCHAR text[128] = {};
    GetDlgItemTextW(dlg, IDC_ABOUT_TEXT, text, 128);
    g_about.product = text;
    PostMessageW(dlg, WM_COMMAND, g_about.answer, 0);
}

TEST_F(Popup, AboutBoxOpensAndClosesWithOkOrCancel) {
    for (WPARAM answer : {static_cast<WPARAM>(IDOK), static_cast<WPARAM>(IDCANCEL)}) {
        g_about = AboutSeen();
        g_about.answer = answer;
        UINT_PTR timer = SetTimer(nullptr, 0, 100, AboutTimer);
        // Returns only once the modal box has ended.
        SendMessageW(popup_, WM_COMMAND, IDM_ABOUT, 0);
        KillTimer(nullptr, timer);
        ASSERT_TRUE(g_about.found) << answer;
        EXPECT_EQ(g_about.client.right, g_about.duRect.right) << answer;
        EXPECT_EQ(g_about.client.bottom, g_about.duRect.bottom) << answer;
        EXPECT_TRUE(g_about.hasIcon);
        EXPECT_TRUE(g_about.hasOk);
        EXPECT_NE(g_about.product.find(L"" QMX_VERSION_STRING), std::wstring::npos)
            << g_about.product;
        EXPECT_TRUE(IsWindow(popup_));
    }
}

TEST(AboutDlgProcTest, AnswersInitAndIgnoresOthers) {
    EXPECT_EQ(AboutDlgProc(nullptr, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_EQ(AboutDlgProc(nullptr, WM_COMMAND, 1002, 0), FALSE);
    EXPECT_EQ(AboutDlgProc(nullptr, WM_PAINT, 0, 0), FALSE);
}

TEST_F(Popup, FlatButtonRecordsAreRegisteredAndFilled) {
    struct Expect {
        int id;
        int bitmapW, bitmapH;
    };
    const Expect expected[] = {
        {20000, 32, 16}, {20001, 216, 52}, {20003, 216, 52}, {20002, 216, 52}, {20004, 150, 30}};
    const LONG buttonFont = g_nScreenHeight > 1080 ? g_nScreenHeight * 24 / 1080 : 24;
    for (const Expect& e : expected) {
        auto found = g_mapFlatButtons.find(e.id);
        ASSERT_NE(found, g_mapFlatButtons.end()) << e.id;
        const FlatButton* b = found->second;
        EXPECT_EQ(b->m_nId, e.id);
        EXPECT_EQ(b->m_hWnd, Item(e.id)) << e.id;
        EXPECT_EQ(b->m_nFrames, 2u) << e.id;
        EXPECT_EQ(b->m_nBitmapWidth, e.bitmapW) << e.id;
        EXPECT_EQ(b->m_nBitmapHeight, e.bitmapH) << e.id;
        // The stored sizes are the bitmap's own.
        BITMAP bm = {};
        ASSERT_NE(GetObjectW(b->m_hBitmap, sizeof(bm), &bm), 0) << e.id;
        EXPECT_EQ(bm.bmWidth, e.bitmapW) << e.id;
        EXPECT_EQ(bm.bmHeight, e.bitmapH) << e.id;
        EXPECT_EQ(FontHeight(b->m_hFont), e.id == IDC_NEVER_ASK ? ScaleX(22) : buttonFont) << e.id;
        EXPECT_TRUE(HasStyle(b->m_hWnd, BS_OWNERDRAW)) << e.id;
        EXPECT_EQ(GetWindowLongPtrW(b->m_hWnd, GWLP_WNDPROC),
                  reinterpret_cast<LONG_PTR>(FlatButtonProc));
        EXPECT_EQ(b->m_pfnPrevProc, g_pfnFlatButtonPrevProc);
    }
    EXPECT_EQ(g_mapFlatButtons[IDC_DOWNLOAD]->m_hBitmap, g_mapFlatButtons[IDC_OPEN]->m_hBitmap);
}

TEST_F(Popup, HoverFlagFollowsHoverAndLeave) {
    HWND download = Item(IDC_DOWNLOAD);
    EXPECT_EQ(SendMessageW(download, WM_MOUSEHOVER, 0, 0), 0);
    EXPECT_EQ(g_nFlatButtonHover, 1);
    // Moving within a hovered button changes nothing.
    EXPECT_EQ(SendMessageW(download, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)), 0);
    EXPECT_EQ(g_nFlatButtonHover, 1);
    EXPECT_EQ(SendMessageW(download, WM_MOUSELEAVE, 0, 0), 0);
    EXPECT_EQ(g_nFlatButtonHover, 0);
    // Everything else goes on to the button class.
    WCHAR text[64] = {};
    EXPECT_GT(SendMessageW(download, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text)), 0);
    EXPECT_EQ(std::wstring(text), GetString(L"IDS_DOWNLOAD"));
}

TEST_F(Popup, DrawPicksTheFrameByHoverFlag) {
    const FlatButton* b = g_mapFlatButtons.at(IDC_DOWNLOAD);
    const std::vector<DWORD> all = BitmapPixels(b->m_hBitmap, 216, 52);
    Canvas canvas(108, 52);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = IDC_DOWNLOAD;
    item.hwndItem = b->m_hWnd;
    item.hDC = canvas.dc();
    item.rcItem = {0, 0, 108, 52};

    for (int hover : {0, 1}) {
        g_nFlatButtonHover = hover;
        canvas.Fill(0xFF00FF);
        SendMessageW(popup_, WM_DRAWITEM, IDC_DOWNLOAD, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(Mismatch(canvas.Pixels(), Frame(all, 216, 108, 52, hover), 108), "")
            << "hover " << hover;
    }
    // The two frames really differ, so the comparison above tells them apart.
    EXPECT_NE(Frame(all, 216, 108, 52, 0), Frame(all, 216, 108, 52, 1));
}

TEST_F(Popup, DrawStretchesOverTheWholeItem) {
    Canvas canvas(150, 60);
    DRAWITEMSTRUCT item = {};
    item.CtlID = IDC_LATER;
    item.hDC = canvas.dc();
    item.rcItem = {0, 0, 150, 60};
    canvas.Fill(0xFF00FF);
    DrawFlatButton(IDC_LATER, &item);
    for (DWORD p : canvas.Pixels())
        ASSERT_NE(p, 0xFF00FFu);
}

TEST_F(Popup, DrawOfAnUnknownIdDrawsNothing) {
    Canvas canvas(20, 20);
    DRAWITEMSTRUCT item = {};
    item.CtlID = 777;
    item.hDC = canvas.dc();
    item.rcItem = {0, 0, 20, 20};
    canvas.Fill(0xFF00FF);
    DrawFlatButton(777, &item);
    DrawFlatButton(IDC_LATER, nullptr);
    for (DWORD p : canvas.Pixels())
        ASSERT_EQ(p, 0xFF00FFu);
}

// Reads the shown popup back from its window context.
class ShownPopup : public Popup {
  protected:
    void SetUp() override {
        Popup::SetUp();
        SetWindowPos(popup_, HWND_TOPMOST, 50, 50, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        ShowWindow(popup_, SW_SHOWNOACTIVATE);
        UpdateWindow(popup_);
        Pump(300);
    }
    COLORREF At(int x, int y) const {
        HDC dc = GetDC(popup_);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(popup_, dc);
        return c;
    }
    // Window pixels of a client rectangle in the BitmapPixels layout.
    std::vector<DWORD> Grab(int x, int y, int w, int h) const {
        std::vector<DWORD> out;
        HDC dc = GetDC(popup_);
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                COLORREF c = GetPixel(dc, x + i, y + j);
                out.push_back(GetBValue(c) | (GetGValue(c) << 8) | (GetRValue(c) << 16));
            }
        ReleaseDC(popup_, dc);
        return out;
    }
};

TEST_F(ShownPopup, PaintsHeaderOutlineAndLogo) {
    const COLORREF blue = RGB(48, 99, 170), black = RGB(0, 0, 0);
    const int W = g_nPopupWidth, Hp = g_nPopupHeight, H = layout_.header;
    EXPECT_EQ(At(20, 0), blue);     // row 0 stays header blue
    EXPECT_EQ(At(20, 1), black);    // the top line is on row 1
    EXPECT_EQ(At(W - 1, 1), black); // reaching the right edge
    EXPECT_EQ(At(20, H - 1), blue); // header down to H
    EXPECT_EQ(At(W - 5, H - 3), blue);
    EXPECT_EQ(At(0, 0), black); // left and right lines start at row 0
    EXPECT_EQ(At(W - 1, 0), black);
    EXPECT_EQ(At(0, Hp / 2), black);
    EXPECT_EQ(At(W - 1, Hp / 2), black);
    EXPECT_EQ(At(W / 2, Hp - 1), black);
    EXPECT_EQ(At(W / 2, H + 5), GetSysColor(COLOR_WINDOW)); // body
    EXPECT_EQ(At(1, Hp / 2), GetSysColor(COLOR_WINDOW));

    // The logo's last column (x = 40) lies under the title label, whose first
    // glyph may touch it; the 31 columns left of the label are the logo's own.
    const std::vector<DWORD> logo = Frame(BitmapPixels(g_hLogoBitmap, 32, 32), 32, 31, 32, 0);
    EXPECT_EQ(Mismatch(Grab(9, H / 2 - 16, 31, 32), logo, 31), "");

    if (const char* hold = std::getenv("QMX_UI_HOLD_MS"))
        Pump(static_cast<DWORD>(std::atoi(hold)));
}

TEST_F(ShownPopup, CloseButtonShowsItsFrameAndHoverFrame) {
    const FlatButton* b = g_mapFlatButtons.at(IDC_CLOSE);
    const std::vector<DWORD> all = BitmapPixels(b->m_hBitmap, 32, 16);
    const CtlRect& r = layout_.close;
    EXPECT_EQ(Mismatch(Grab(r.x, r.y, 16, 16), Frame(all, 32, 16, 16, 0), 16), "");
    SendMessageW(Item(IDC_CLOSE), WM_MOUSEHOVER, 0, 0);
    Pump(100);
    EXPECT_EQ(Mismatch(Grab(r.x, r.y, 16, 16), Frame(all, 32, 16, 16, 1), 16), "");
    SendMessageW(Item(IDC_CLOSE), WM_MOUSELEAVE, 0, 0);
    Pump(100);
    EXPECT_EQ(Mismatch(Grab(r.x, r.y, 16, 16), Frame(all, 32, 16, 16, 0), 16), "");
}

} // namespace
