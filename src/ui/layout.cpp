// Popup geometry as plain arithmetic. Every size is laid out for a 1920 x 1080
// screen and only grows above it (ScaleFor); the progress bar height alone
// follows the screen height both ways, so it shrinks on low screens. Keeping
// this free of Windows calls lets both builds test every rectangle.
#include "ui/layout.h"

namespace {

const int kReferenceWidth = 1920;
const int kReferenceHeight = 1080;

const int kPopupWidth = 500;
const int kPopupHeight = 300;
const int kHeaderHeight = 50;
const int kButtonBand = 120;
const int kMainButtonWidth = 150;
const int kMainButtonHeight = 60;
const int kProgressBarBase = 30; // per 1080 screen rows, no floor
const int kNeverAskWidth = 100;
const int kNeverAskWidthJapanese = 150;
const int kNeverAskHeight = 40;
const int kNeverAskBottomGap = 15;

const int kTitleX = 40;
const int kTitleWidth = 350;
const int kTextMargin = 20;     // left/right margin of the three message texts
const int kTextTopGap = 20;     // between header and message texts
const int kProgressMargin = 50; // left/right margin of the progress bar and its text
const int kProgressTextHeight = 40;
const int kCloseSize = 16;
const int kCloseRightInset = 30;
const int kButtonCentreGap = 30; // each main button keeps this from the centre line

// WM_NCHITTEST answers.
const int kHtCaption = 2;
const int kHtLeft = 10;
const int kHtRight = 11;
const int kHtTop = 12;
const int kHtTopLeft = 13;
const int kHtTopRight = 14;
const int kHtBottom = 15;
const int kHtBottomLeft = 16;
const int kHtBottomRight = 17;
const int kEdgeBand = 2;

} // namespace

const int kSwitchedControls[9] = {
    IDC_OFFER_TEXT,   IDC_DOWNLOAD, IDC_NEVER_ASK,    IDC_PROGRESS_TEXT, IDC_PROGRESS_BAR,
    IDC_SUCCESS_TEXT, IDC_OPEN,     IDC_FAILURE_TEXT, IDC_LATER,
};

int ScaleFor(int screenExtent, int reference, int value) {
    return screenExtent <= reference ? value : screenExtent * value / reference;
}

PopupLayout ComputePopupLayout(int screenW, int screenH, bool japanese) {
    auto sx = [screenW](int v) { return ScaleFor(screenW, kReferenceWidth, v); };
    auto sy = [screenH](int v) { return ScaleFor(screenH, kReferenceHeight, v); };

    PopupLayout l;
    const int W = sx(kPopupWidth);
    const int Hp = sy(kPopupHeight);
    const int H = sy(kHeaderHeight);
    const int T = sy(kButtonBand);
    const int BW = sx(kMainButtonWidth);
    const int BH = sy(kMainButtonHeight);
    const int P = screenH * kProgressBarBase / kReferenceHeight;
    const int Q = sx(japanese ? kNeverAskWidthJapanese : kNeverAskWidth);

    l.width = W;
    l.height = Hp;
    l.header = H;

    l.title = {kTitleX, 0, kTitleWidth, H};
    const CtlRect text = {kTextMargin, H + kTextTopGap, W - 2 * kTextMargin,
                          Hp - H - kTextTopGap - T};
    l.offerText = text;
    l.successText = text;
    l.failureText = text;
    l.progressBar = {kProgressMargin, Hp / 2, W - 2 * kProgressMargin, P};
    l.progressText = {kProgressMargin, Hp / 2 + P + 1, W - 2 * kProgressMargin,
                      kProgressTextHeight};

    l.close = {W - kCloseRightInset, H / 2 - kCloseSize / 2, kCloseSize, kCloseSize};
    l.download = {W / 2 - kButtonCentreGap - BW, Hp - T, BW, BH};
    l.open = l.download; // Download and Open share a place and never show together
    l.later = {W / 2 + kButtonCentreGap, Hp - T, BW, BH};
    const int neverAskH = sy(kNeverAskHeight);
    l.neverAsk = {kTextMargin, Hp - sy(kNeverAskBottomGap) - neverAskH, Q, neverAskH};
    return l;
}

bool OpenAllowed(PopupState shown, bool workerRunning) {
    return shown == PopupCompleted && !workerRunning;
}

bool StateShows(PopupState state, int id) {
    switch (id) {
    case IDC_OFFER_TEXT:
    case IDC_NEVER_ASK:
        return state == PopupOffer;
    case IDC_DOWNLOAD:
        return state == PopupOffer || state == PopupFailed;
    case IDC_PROGRESS_TEXT:
    case IDC_PROGRESS_BAR:
        return state == PopupDownloading;
    case IDC_SUCCESS_TEXT:
    case IDC_OPEN:
        return state == PopupCompleted;
    case IDC_FAILURE_TEXT:
        return state == PopupFailed;
    case IDC_LATER:
        return state != PopupDownloading;
    default:
        return false;
    }
}

int PopupHitTest(int x, int y, int left, int top, int right, int bottom) {
    // Left and top bands cover two pixels (0 and 1); right and bottom one.
    const bool atLeft = x < left + kEdgeBand;
    const bool atRight = x > right - kEdgeBand;
    const bool atTop = y < top + kEdgeBand;
    const bool atBottom = y > bottom - kEdgeBand;
    if (atLeft && atTop)
        return kHtTopLeft;
    if (atRight && atTop)
        return kHtTopRight;
    if (atLeft && atBottom)
        return kHtBottomLeft;
    if (atRight && atBottom)
        return kHtBottomRight;
    if (atLeft)
        return kHtLeft;
    if (atRight)
        return kHtRight;
    if (atTop)
        return kHtTop;
    if (atBottom)
        return kHtBottom;
    return kHtCaption;
}

bool NeverAskMayWrite(const std::wstring& modulePath, const std::wstring& iniPath) {
    return !iniPath.empty() && iniPath != modulePath;
}
