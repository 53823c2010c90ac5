// The string tables as the exe carries them: four "IDR_XML_FILE" resources
// under language 2052, the one the UI language selects loaded into the map,
// and the customer texts set on the popup's labels.
#include "app/app_win.h"
#include "config/xml_config.h"
#include "i18n/strings.h"
#include "support/language.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const WORD kResourceLanguage = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED); // 2052

class StringResources : public ::testing::Test {
  protected:
    void SetUp() override {
        savedMap_ = g_mapStrings;
        savedId_ = g_nStringTableId;
        g_mapStrings.clear();
    }
    void TearDown() override {
        g_mapStrings = savedMap_;
        g_nStringTableId = savedId_;
    }

  private:
    std::map<std::string, std::string> savedMap_;
    int savedId_ = 0;
};

} // namespace

TEST_F(StringResources, AllFourTablesAreBuiltInAndParse) {
    for (int id : {131, 132, 133, 137}) {
        SCOPED_TRACE(id);
        HRSRC resource =
            FindResourceExW(nullptr, L"IDR_XML_FILE", MAKEINTRESOURCEW(id), kResourceLanguage);
        ASSERT_NE(nullptr, resource);
        HGLOBAL loaded = LoadResource(nullptr, resource);
        ASSERT_NE(nullptr, loaded);
        g_mapStrings.clear();
        EXPECT_TRUE(ParseStringTable(static_cast<const char*>(LockResource(loaded)),
                                     SizeofResource(nullptr, resource)));
        EXPECT_EQ(10u, g_mapStrings.size());
        EXPECT_EQ('\r', g_mapStrings["IDS_DOWNLOAD_FAIL"][0]);
    }
}

TEST_F(StringResources, LoadsTheTableOfTheUiLanguage) {
    const std::wstring code = GetUILanguage();
    LoadStringTable();
    EXPECT_EQ(StringTableIdFor(code), g_nStringTableId);
    EXPECT_EQ(10u, g_mapStrings.size());
    EXPECT_NE(L"IDS_DOWNLOAD", GetString(L"IDS_DOWNLOAD"));
    if (code == L"en") {
        EXPECT_EQ(L"Ask me later", GetString(L"IDS_LATER"));
    }
}

TEST(UiLanguage, FollowsTheUserDefaultUiLanguage) {
    EXPECT_EQ(LanguageCodeFromLangId(GetUserDefaultUILanguage()), GetUILanguage());
}

TEST(CustomerTextsOnThePopup, SetsTitleAndOfferTextAndSkipsMissingControls) {
    const auto savedValues = theCustomer.values;
    const HWND savedPopup = g_hWndPopup;
    theCustomer.values = {{"Chinese1", "c1"},
                          {"Korea1", "k1"},
                          {"Japanese1", "j1"},
                          {"English1", "e1"},
                          {"English2", "\xE4\xB8\x8B\xE8\xBD\xBD"}};

    g_hWndPopup = nullptr;
    ApplyCustomerTexts(); // no popup: nothing to set, nothing breaks

    HWND popup = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, popup);
    HWND title = CreateWindowExW(0, L"STATIC", L"old", WS_CHILD, 0, 0, 10, 10, popup,
                                 reinterpret_cast<HMENU>(19001), nullptr, nullptr);
    g_hWndPopup = popup;
    ApplyCustomerTexts(); // 19002 missing: skipped
    wchar_t text[64] = {0};
    GetWindowTextW(title, text, 64);
    std::string expectedTitle, expectedText;
    ChooseCustomerTexts(GetUILanguage(), expectedTitle, expectedText);
    EXPECT_EQ(Utf8ToWide(expectedTitle), text);

    HWND offer = CreateWindowExW(0, L"STATIC", L"old", WS_CHILD, 0, 0, 10, 10, popup,
                                 reinterpret_cast<HMENU>(19002), nullptr, nullptr);
    ApplyCustomerTexts();
    GetWindowTextW(offer, text, 64);
    EXPECT_EQ(std::wstring(L"\x4E0B\x8F7D"), text); // English2: no Chinese2/Korea2/Japanese2

    DestroyWindow(popup);
    g_hWndPopup = savedPopup;
    theCustomer.values = savedValues;
}
