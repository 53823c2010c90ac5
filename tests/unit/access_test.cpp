// Focus order of each popup state and the colour choice for high contrast.
#include "ui/access.h"

#include <gtest/gtest.h>

TEST(FocusOrder, MainActionFirstCloseLastOnlyVisibleButtons) {
    EXPECT_EQ(FocusOrder(PopupOffer),
              (std::vector<int>{IDC_DOWNLOAD, IDC_LATER, IDC_NEVER_ASK, IDC_CLOSE}));
    EXPECT_EQ(FocusOrder(PopupDownloading), (std::vector<int>{IDC_CLOSE}));
    EXPECT_EQ(FocusOrder(PopupCompleted), (std::vector<int>{IDC_OPEN, IDC_LATER, IDC_CLOSE}));
    EXPECT_EQ(FocusOrder(PopupFailed), (std::vector<int>{IDC_DOWNLOAD, IDC_LATER, IDC_CLOSE}));
    for (PopupState state : {PopupOffer, PopupDownloading, PopupCompleted, PopupFailed})
        for (int id : FocusOrder(state))
            EXPECT_TRUE(id == IDC_CLOSE || StateShows(state, id)) << state << " " << id;
}

TEST(FocusOrder, TabWrapsAndStrangersStartAtAnEnd) {
    EXPECT_EQ(IDC_DOWNLOAD, NextFocusStop(PopupOffer, IDC_CLOSE, false));
    EXPECT_EQ(IDC_CLOSE, NextFocusStop(PopupOffer, IDC_DOWNLOAD, true));
    EXPECT_EQ(IDC_LATER, NextFocusStop(PopupCompleted, IDC_OPEN, false));
    // The popup itself, a label, or a button the state hides.
    EXPECT_EQ(IDC_OPEN, NextFocusStop(PopupCompleted, 0, false));
    EXPECT_EQ(IDC_CLOSE, NextFocusStop(PopupCompleted, IDC_TITLE, true));
    EXPECT_EQ(IDC_DOWNLOAD, NextFocusStop(PopupFailed, IDC_NEVER_ASK, false));
    EXPECT_EQ(IDC_CLOSE, NextFocusStop(PopupDownloading, IDC_CLOSE, false));
}

TEST(PopupPaletteChoice, OwnLookOrTheSystemColours) {
    const SystemColours system = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006};
    const PopupPalette own = ChoosePopupPalette(false, system);
    EXPECT_FALSE(own.system);
    EXPECT_EQ(0xAA6330u, own.header); // RGB(48, 99, 170)
    EXPECT_EQ(0xFFFFFFu, own.title);

    const PopupPalette high = ChoosePopupPalette(true, system);
    EXPECT_TRUE(high.system);
    EXPECT_EQ(system.highlight, high.header);
    EXPECT_EQ(system.highlightText, high.title);
    EXPECT_EQ(system.windowText, high.text);
    EXPECT_EQ(system.buttonFace, high.face);
    EXPECT_EQ(system.buttonText, high.faceText);
    EXPECT_EQ(system.highlight, high.hotFace);
    EXPECT_EQ(system.highlightText, high.hotText);
}
