// Popup geometry, hit-test bands, the state table and the never-ask target.
// Expected rectangles are written out as numbers for each screen size so a
// slip in any one formula (a wrong scale axis, a missed margin) shows up.
#include "app/app.h"
#include "ui/layout.h"
#include <gtest/gtest.h>

namespace {

void ExpectRect(const CtlRect& r, int x, int y, int w, int h, const char* what) {
    EXPECT_EQ(r.x, x) << what;
    EXPECT_EQ(r.y, y) << what;
    EXPECT_EQ(r.w, w) << what;
    EXPECT_EQ(r.h, h) << what;
}

TEST(PopupLayout, FullHdMatchesCatalogue) {
    const PopupLayout l = ComputePopupLayout(1920, 1080, false);
    EXPECT_EQ(l.width, 500);
    EXPECT_EQ(l.height, 300);
    EXPECT_EQ(l.header, 50);
    ExpectRect(l.title, 40, 0, 350, 50, "title");
    ExpectRect(l.offerText, 20, 70, 460, 110, "offer text");
    ExpectRect(l.successText, 20, 70, 460, 110, "success text");
    ExpectRect(l.failureText, 20, 70, 460, 110, "failure text");
    ExpectRect(l.progressBar, 50, 150, 400, 30, "progress bar");
    ExpectRect(l.progressText, 50, 181, 400, 40, "progress text");
    ExpectRect(l.close, 470, 17, 16, 16, "close");
    ExpectRect(l.download, 70, 180, 150, 60, "download");
    ExpectRect(l.open, 70, 180, 150, 60, "open");
    ExpectRect(l.later, 280, 180, 150, 60, "later");
    ExpectRect(l.neverAsk, 20, 245, 100, 40, "never ask");
}

TEST(PopupLayout, JapaneseWidensOnlyNeverAsk) {
    const PopupLayout en = ComputePopupLayout(1920, 1080, false);
    const PopupLayout ja = ComputePopupLayout(1920, 1080, true);
    ExpectRect(ja.neverAsk, 20, 245, 150, 40, "never ask, Japanese");
    ExpectRect(ja.later, en.later.x, en.later.y, en.later.w, en.later.h, "later unchanged");
    ExpectRect(ja.download, en.download.x, en.download.y, en.download.w, en.download.h,
               "download unchanged");
    // Scaled with the screen width like the other widths.
    EXPECT_EQ(ComputePopupLayout(3840, 2160, true).neverAsk.w, 300);
    EXPECT_EQ(ComputePopupLayout(2560, 1440, true).neverAsk.w, 200);
}

TEST(PopupLayout, LowScreenShrinksOnlyTheProgressBar) {
    const PopupLayout l = ComputePopupLayout(1366, 768, false);
    EXPECT_EQ(l.width, 500);
    EXPECT_EQ(l.height, 300);
    ExpectRect(l.progressBar, 50, 150, 400, 21, "progress bar");
    ExpectRect(l.progressText, 50, 150 + 21 + 1, 400, 40, "progress text");
    ExpectRect(l.title, 40, 0, 350, 50, "title");
    ExpectRect(l.download, 70, 180, 150, 60, "download");
    ExpectRect(l.later, 280, 180, 150, 60, "later");
    ExpectRect(l.neverAsk, 20, 245, 100, 40, "never ask");
    ExpectRect(l.close, 470, 17, 16, 16, "close");
    // No floor at all: a very low screen gets a very thin bar.
    EXPECT_EQ(ComputePopupLayout(800, 600, false).progressBar.h, 16);
}

TEST(PopupLayout, QuadHdScales) {
    const PopupLayout l = ComputePopupLayout(2560, 1440, false);
    EXPECT_EQ(l.width, 666);
    EXPECT_EQ(l.height, 400);
    EXPECT_EQ(l.header, 66);
    ExpectRect(l.title, 40, 0, 350, 66, "title");
    ExpectRect(l.offerText, 20, 86, 626, 154, "offer text");
    ExpectRect(l.progressBar, 50, 200, 566, 40, "progress bar");
    ExpectRect(l.progressText, 50, 241, 566, 40, "progress text");
    ExpectRect(l.close, 636, 25, 16, 16, "close");
    ExpectRect(l.download, 103, 240, 200, 80, "download");
    ExpectRect(l.later, 363, 240, 200, 80, "later");
    ExpectRect(l.neverAsk, 20, 327, 133, 53, "never ask");
}

TEST(PopupLayout, UltraHdScales) {
    const PopupLayout l = ComputePopupLayout(3840, 2160, false);
    EXPECT_EQ(l.width, 1000);
    EXPECT_EQ(l.height, 600);
    EXPECT_EQ(l.header, 100);
    ExpectRect(l.title, 40, 0, 350, 100, "title");
    ExpectRect(l.successText, 20, 120, 960, 240, "success text");
    ExpectRect(l.progressBar, 50, 300, 900, 60, "progress bar");
    ExpectRect(l.progressText, 50, 361, 900, 40, "progress text");
    ExpectRect(l.close, 970, 42, 16, 16, "close");
    ExpectRect(l.open, 170, 360, 300, 120, "open");
    ExpectRect(l.later, 530, 360, 300, 120, "later");
    ExpectRect(l.neverAsk, 20, 490, 200, 80, "never ask");
}

TEST(PopupLayout, WidthAndHeightScaleIndependently) {
    // A wide screen of normal height: widths grow, heights stay.
    const PopupLayout l = ComputePopupLayout(2560, 1080, false);
    EXPECT_EQ(l.width, 666);
    EXPECT_EQ(l.height, 300);
    ExpectRect(l.download, 103, 180, 200, 60, "download");
    ExpectRect(l.progressBar, 50, 150, 566, 30, "progress bar");
}

TEST(PopupLayout, ButtonsStayInsideThePopup) {
    const int screens[][2] = {{1024, 768}, {1366, 768}, {1920, 1080}, {2560, 1440}, {3840, 2160}};
    for (const auto& s : screens) {
        for (bool japanese : {false, true}) {
            const PopupLayout l = ComputePopupLayout(s[0], s[1], japanese);
            for (const CtlRect* r : {&l.close, &l.download, &l.later, &l.neverAsk, &l.progressBar,
                                     &l.progressText, &l.offerText}) {
                EXPECT_GE(r->x, 0);
                EXPECT_GE(r->y, 0);
                EXPECT_LE(r->x + r->w, l.width) << s[0] << "x" << s[1];
                EXPECT_LE(r->y + r->h, l.height) << s[0] << "x" << s[1];
            }
            // The never-ask button sits below the main buttons' row.
            EXPECT_GE(l.neverAsk.y, l.download.y + l.download.h) << s[0] << "x" << s[1];
        }
    }
}

TEST(PopupScale, KeepsUpToReferenceAndScalesAbove) {
    EXPECT_EQ(ScaleFor(1920, 1920, 150), 150);
    EXPECT_EQ(ScaleFor(1366, 1920, 150), 150);
    EXPECT_EQ(ScaleFor(1921, 1920, 1920), 1921);
    EXPECT_EQ(ScaleFor(2560, 1920, 100), 133); // truncates
    EXPECT_EQ(ScaleFor(2160, 1080, 15), 30);
}

TEST(PopupHitTest, EdgeBands) {
    // Client rectangle of a 500 x 300 popup.
    const int L = 0, T = 0, R = 500, B = 300;
    const int kTopLeft = 13, kTopRight = 14, kBottomLeft = 16, kBottomRight = 17;
    const int kLeft = 10, kRight = 11, kTop = 12, kBottom = 15, kCaption = 2;

    EXPECT_EQ(PopupHitTest(0, 0, L, T, R, B), kTopLeft);
    EXPECT_EQ(PopupHitTest(1, 1, L, T, R, B), kTopLeft);
    EXPECT_EQ(PopupHitTest(499, 0, L, T, R, B), kTopRight);
    EXPECT_EQ(PopupHitTest(499, 1, L, T, R, B), kTopRight);
    EXPECT_EQ(PopupHitTest(0, 299, L, T, R, B), kBottomLeft);
    EXPECT_EQ(PopupHitTest(1, 299, L, T, R, B), kBottomLeft);
    EXPECT_EQ(PopupHitTest(499, 299, L, T, R, B), kBottomRight);

    // Left and top bands are two pixels wide, right and bottom one.
    EXPECT_EQ(PopupHitTest(0, 150, L, T, R, B), kLeft);
    EXPECT_EQ(PopupHitTest(1, 150, L, T, R, B), kLeft);
    EXPECT_EQ(PopupHitTest(2, 150, L, T, R, B), kCaption);
    EXPECT_EQ(PopupHitTest(499, 150, L, T, R, B), kRight);
    EXPECT_EQ(PopupHitTest(498, 150, L, T, R, B), kCaption);
    EXPECT_EQ(PopupHitTest(250, 0, L, T, R, B), kTop);
    EXPECT_EQ(PopupHitTest(250, 1, L, T, R, B), kTop);
    EXPECT_EQ(PopupHitTest(250, 2, L, T, R, B), kCaption);
    EXPECT_EQ(PopupHitTest(250, 299, L, T, R, B), kBottom);
    EXPECT_EQ(PopupHitTest(250, 298, L, T, R, B), kCaption);

    // Corners are decided before edges: the band edges of a corner.
    EXPECT_EQ(PopupHitTest(2, 0, L, T, R, B), kTop);
    EXPECT_EQ(PopupHitTest(498, 299, L, T, R, B), kBottom);
    EXPECT_EQ(PopupHitTest(499, 298, L, T, R, B), kRight);

    // Points outside the client area (the cursor can be reported there while
    // dragging fast) still answer an edge, never the caption.
    EXPECT_EQ(PopupHitTest(-5, 150, L, T, R, B), kLeft);
    EXPECT_EQ(PopupHitTest(600, 400, L, T, R, B), kBottomRight);
}

TEST(PopupHitTest, InteriorIsCaption) {
    EXPECT_EQ(PopupHitTest(250, 150, 0, 0, 500, 300), 2);
    EXPECT_EQ(PopupHitTest(40, 25, 0, 0, 500, 300), 2); // on the title label
    EXPECT_EQ(PopupHitTest(500, 300, 0, 0, 1000, 600), 2);
}

TEST(PopupStates, SwitchOrder) {
    const int expected[9] = {19002, 20001, 20004, 19005, 20005, 19003, 20003, 19004, 20002};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(kSwitchedControls[i], expected[i]) << i;
}

TEST(PopupStates, TableForEveryState) {
    struct Row {
        int id;
        bool offer, downloading, completed, failed;
    };
    const Row table[] = {
        {19002, true, false, false, false}, {20001, true, false, false, true},
        {20004, true, false, false, false}, {19005, false, true, false, false},
        {20005, false, true, false, false}, {19003, false, false, true, false},
        {20003, false, false, true, false}, {19004, false, false, false, true},
        {20002, true, false, true, true},
    };
    for (const Row& r : table) {
        EXPECT_EQ(StateShows(PopupOffer, r.id), r.offer) << r.id;
        EXPECT_EQ(StateShows(PopupDownloading, r.id), r.downloading) << r.id;
        EXPECT_EQ(StateShows(PopupCompleted, r.id), r.completed) << r.id;
        EXPECT_EQ(StateShows(PopupFailed, r.id), r.failed) << r.id;
    }
}

TEST(PopupStates, SharedPlacesNeverShowTogether) {
    for (PopupState s : {PopupOffer, PopupDownloading, PopupCompleted, PopupFailed}) {
        EXPECT_FALSE(StateShows(s, IDC_DOWNLOAD) && StateShows(s, IDC_OPEN)) << s;
        const int texts = StateShows(s, IDC_OFFER_TEXT) + StateShows(s, IDC_SUCCESS_TEXT) +
                          StateShows(s, IDC_FAILURE_TEXT);
        EXPECT_LE(texts, 1) << s;
    }
    // Title and close are not switched at all.
    EXPECT_FALSE(StateShows(PopupOffer, IDC_TITLE));
    EXPECT_FALSE(StateShows(PopupOffer, IDC_CLOSE));
}

TEST(NeverAskTarget, NeverTheProgramFile) {
    const std::wstring lower = L"C:\\Tools\\QmxAssistant.exe";
    EXPECT_TRUE(NeverAskMayWrite(lower, IniPathForModule(lower)));
    const std::wstring upper = L"C:\\Tools\\QMXASSISTANT.EXE";
    EXPECT_FALSE(NeverAskMayWrite(upper, IniPathForModule(upper)));
    EXPECT_FALSE(NeverAskMayWrite(L"", IniPathForModule(L"")));
}

} // namespace

TEST(PopupStates, OpenOnlyFromTheCompletedStateWithNoWorker) {
    EXPECT_TRUE(OpenAllowed(PopupCompleted, false));
    EXPECT_FALSE(OpenAllowed(PopupCompleted, true));
    for (PopupState other : {PopupOffer, PopupDownloading, PopupFailed}) {
        EXPECT_FALSE(OpenAllowed(other, false)) << other;
        EXPECT_FALSE(OpenAllowed(other, true)) << other;
    }
}
