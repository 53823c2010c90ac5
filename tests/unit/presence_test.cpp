// When the offer may interrupt the user, and how long a held offer settles.
#include "ui/presence.h"
#include <gtest/gtest.h>

namespace {

TEST(Presence, EveryAnswerWithAndWithoutFullScreen) {
    struct Case {
        int answer;
        HoldReason alone, withFullScreen;
    };
    const Case cases[] = {
        {kNoNotificationAnswer, HoldReason::None, HoldReason::FullScreenInFront},
        {kQunsAcceptsNotifications, HoldReason::None, HoldReason::FullScreenInFront},
        {kQunsApp, HoldReason::None, HoldReason::FullScreenInFront},
        {kQunsNotPresent, HoldReason::NotPresent, HoldReason::NotPresent},
        {kQunsBusy, HoldReason::Busy, HoldReason::Busy},
        {kQunsRunningD3dFullScreen, HoldReason::Direct3DFullScreen, HoldReason::Direct3DFullScreen},
        {kQunsPresentationMode, HoldReason::PresentationMode, HoldReason::PresentationMode},
        {kQunsQuietTime, HoldReason::QuietTime, HoldReason::QuietTime},
        {8, HoldReason::UnknownAnswer, HoldReason::UnknownAnswer},
        {-1, HoldReason::UnknownAnswer, HoldReason::UnknownAnswer},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WhyUserIsBusy(c.answer, false), c.alone) << c.answer;
        EXPECT_EQ(WhyUserIsBusy(c.answer, true), c.withFullScreen) << c.answer;
        EXPECT_EQ(UserCanBeInterrupted(c.answer, false), c.alone == HoldReason::None) << c.answer;
        EXPECT_FALSE(UserCanBeInterrupted(c.answer, true)) << c.answer;
    }
}

TEST(Presence, FullScreenMeansTheWholeMonitor) {
    const ScreenRect monitor = {1920, 0, 3840, 1080}; // a second monitor
    EXPECT_TRUE(CoversMonitor({1920, 0, 3840, 1080}, monitor));
    EXPECT_TRUE(CoversMonitor({1912, -8, 3848, 1088}, monitor)); // larger on every side
    EXPECT_FALSE(CoversMonitor({1920, 0, 3840, 1040}, monitor)); // leaves the taskbar
    EXPECT_FALSE(CoversMonitor({1921, 0, 3840, 1080}, monitor));
    EXPECT_FALSE(CoversMonitor({0, 0, 1920, 1080}, monitor)); // the other monitor
}

TEST(Presence, SettlingRestartsAfterABusyLook) {
    const unsigned s = CSettlePace::kSettleMs;
    CSettlePace pace;
    EXPECT_FALSE(pace.Look(true, 1000));
    EXPECT_FALSE(pace.Look(false, 1000 + s)); // busy again: not shown
    EXPECT_FALSE(pace.Look(true, 2000 + s));
    EXPECT_FALSE(pace.Look(true, 2000 + 2 * s - 1));
    EXPECT_TRUE(pace.Look(true, 2000 + 2 * s));

    CSettlePace wrapping; // GetTickCount wraps after 49.7 days
    EXPECT_FALSE(wrapping.Look(true, 0xFFFFFFFFu - 100));
    EXPECT_TRUE(wrapping.Look(true, s));
}

} // namespace
