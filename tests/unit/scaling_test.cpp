// Popup size, the settings path rule and the pace of settings retries.
#include "app/app.h"
#include <gtest/gtest.h>

namespace {

struct ScreenCase {
    int w, h, popupW, popupH;
};

TEST(Scaling, PopupSizeFollowsScreen) {
    const ScreenCase cases[] = {
        {1920, 1080, 500, 300}, {2560, 1440, 666, 400}, {3840, 2160, 1000, 600},
        {2560, 1080, 666, 300}, {1366, 768, 500, 300},
    };
    for (const auto& c : cases) {
        g_nScreenWidth = c.w;
        g_nScreenHeight = c.h;
        EXPECT_EQ(ScaleX(500), c.popupW) << c.w << "x" << c.h;
        EXPECT_EQ(ScaleY(300), c.popupH) << c.w << "x" << c.h;
    }
}

TEST(Scaling, PopupCornerOnWorkArea) {
    g_nScreenWidth = 1920;
    g_nScreenHeight = 1080;
    // 1920 x 1040 work area at the origin: one pixel in from the corner.
    EXPECT_EQ(1920 - ScaleX(500) - 1, 1419);
    EXPECT_EQ(1040 - ScaleY(300) - 1, 739);
}

TEST(SettingsPath, ReplacesEveryLowerCaseExe) {
    EXPECT_EQ(IniPathForModule(L"C:\\Tools\\QmxAssistant.exe"), L"C:\\Tools\\QmxAssistant.ini");
    EXPECT_EQ(IniPathForModule(L"C:\\a.exe.d\\QmxAssistant.exe"), L"C:\\a.ini.d\\QmxAssistant.ini");
    // An upper-case extension is not replaced: the path names the exe itself.
    EXPECT_EQ(IniPathForModule(L"C:\\Tools\\QMXASSISTANT.EXE"), L"C:\\Tools\\QMXASSISTANT.EXE");
    EXPECT_EQ(IniPathForModule(L"C:\\x.EXE\\y.exe"), L"C:\\x.EXE\\y.ini");
}

TEST(RetryPace, AtMostOnceAMinuteAcrossTheTickWrap) {
    CRetryPace pace;
    EXPECT_TRUE(pace.Due(0xFFFFF000u));
    EXPECT_FALSE(pace.Due(0xFFFFF000u + 1000));
    EXPECT_FALSE(pace.Due(0xFFFFF000u + CRetryPace::kIntervalMs - 1)); // wrapped past 0
    EXPECT_TRUE(pace.Due(0xFFFFF000u + CRetryPace::kIntervalMs));
    EXPECT_FALSE(pace.Due(0xFFFFF000u + CRetryPace::kIntervalMs + 59999));
}

} // namespace
