// The settings file as start-up reads it through the profile API: only the
// exact value "off" switches the assistant off, and odd files read as "on".
#include "app/app.h"
#include "app/app_win.h"
#include "support/text.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace {

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        path_ = std::wstring(dir) + L"qmx_settings_test.ini";
        DeleteFileW(path_.c_str());
    }
    void TearDown() override { DeleteFileW(path_.c_str()); }

    void Write(const std::string& bytes) {
        FILE* f = _wfopen(path_.c_str(), L"wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    std::wstring path_;
};

TEST_F(SettingsFile, OnlyExactLowerCaseOffSwitchesOff) {
    Write("[Option]\r\nNotify=off\r\n");
    EXPECT_TRUE(IsSwitchedOff(path_));
    for (const char* other : {"Off", "OFF", "of", "off2", "on", ""}) {
        Write(std::string("[Option]\r\nNotify=") + other + "\r\n");
        EXPECT_FALSE(IsSwitchedOff(path_)) << other;
    }
}

TEST_F(SettingsFile, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(ReadNotifySetting(path_), L"");
    EXPECT_FALSE(IsSwitchedOff(path_));
    Write("[Other]\r\nNotify=off\r\n");
    EXPECT_FALSE(IsSwitchedOff(path_));
    Write("[Option]\r\nNotifyMe=off\r\n");
    EXPECT_FALSE(IsSwitchedOff(path_));
}

TEST_F(SettingsFile, LongValueIsCutAndNeverOverruns) {
    Write("[Option]\r\nNotify=" + std::string(1000, 'x') + "\r\n");
    EXPECT_EQ(ReadNotifySetting(path_), std::wstring(255, L'x'));
    EXPECT_FALSE(IsSwitchedOff(path_));
}

TEST_F(SettingsFile, NeverAskValueWrittenThroughProfileApiReadsBack) {
    // What the never-ask command writes must switch the next start off, also
    // when the file did not exist before.
    ASSERT_TRUE(WritePrivateProfileStringW(L"Option", L"Notify", L"off", path_.c_str()));
    EXPECT_TRUE(IsSwitchedOff(path_));
}

TEST(SettingsPathOfThisModule, DerivedFromTheRunningExe) {
    wchar_t module[MAX_PATH + 1] = {0};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring ini = GetIniPath();
    EXPECT_EQ(ini, IniPathForModule(module));
    EXPECT_NE(ini.find(L".ini"), std::wstring::npos);
}

} // namespace
