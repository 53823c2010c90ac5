// The language rule, the string-table reader and the four built-in tables.
#include "config/xml_config.h"
#include "i18n/strings.h"
#include "support/language.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Each test starts from an empty string map and leaves it as it found it.
class StringTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = g_mapStrings;
        g_mapStrings.clear();
    }
    void TearDown() override { g_mapStrings = saved_; }
    static bool Parse(const std::string& xml) { return ParseStringTable(xml.data(), xml.size()); }

  private:
    std::map<std::string, std::string> saved_;
};

std::string ReadSourceFile(const std::string& relative) {
    std::ifstream in(std::string(QMX_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

const char* const kIds[] = {"IDS_APP_NAME",      "IDS_DOWNLOAD",          "IDS_OPEN",
                            "IDS_LATER",         "IDS_DOWNLOAD_TIPS",     "IDS_DOWNLOAD_SUCCED",
                            "IDS_DOWNLOAD_FAIL", "IDS_DOWNLOAD_PROGRESS", "IDS_QUIT",
                            "IDS_CLOSE"};

} // namespace

// ---- language rule ----

TEST(LanguageRule, EveryChineseVariantSelectsSimplifiedChinese) {
    for (unsigned short id : {0x0804, 0x0404, 0x0C04, 0x1004, 0x1404})
        EXPECT_EQ(L"zh-CN", LanguageCodeFromLangId(id)) << std::hex << id;
}

TEST(LanguageRule, JapaneseUsesItsOwnCode) {
    EXPECT_EQ(L"rb-JP", LanguageCodeFromLangId(0x0411));
}

TEST(LanguageRule, KoreanIncludingTheBareIdentifier) {
    EXPECT_EQ(L"ko-KR", LanguageCodeFromLangId(0x0412));
    EXPECT_EQ(L"ko-KR", LanguageCodeFromLangId(0x0012));
}

TEST(LanguageRule, EverythingElseIsEnglish) {
    // Bare Chinese and Japanese identifiers are not recognised.
    for (unsigned short id :
         {0x0409, 0x0809, 0x0407, 0x0004, 0x0011, 0x7C04, 0x0000, 0xFFFF, 0x0812})
        EXPECT_EQ(L"en", LanguageCodeFromLangId(id)) << std::hex << id;
}

TEST(LanguageRule, TableIdsAndCustomerKeysFollowTheCode) {
    EXPECT_EQ(131, StringTableIdFor(L"zh-CN"));
    EXPECT_EQ(132, StringTableIdFor(L"en"));
    EXPECT_EQ(133, StringTableIdFor(L"ko-KR"));
    EXPECT_EQ(137, StringTableIdFor(L"rb-JP"));
    EXPECT_EQ(131, StringTableIdFor(L"ja-JP")); // whole-string comparison
    EXPECT_EQ(131, StringTableIdFor(L"EN"));

    const struct {
        const wchar_t* code;
        const char* first;
        const char* second;
    } keys[] = {{L"zh-CN", "Chinese1", "Chinese2"},
                {L"ko-KR", "Korea1", "Korea2"},
                {L"rb-JP", "Japanese1", "Japanese2"},
                {L"en", "English1", "English2"},
                {L"de-DE", "English1", "English2"}};
    for (const auto& k : keys) {
        std::string first, second;
        CustomerTextKeys(k.code, first, second);
        EXPECT_EQ(k.first, first);
        EXPECT_EQ(k.second, second);
    }
}

#ifndef _WIN32
// The host build takes the language identifier from QMX_HOST_LANGID.
TEST(LanguageRule, HostLanguageSettingIsReadOnEveryCall) {
    setenv("QMX_HOST_LANGID", "0411", 1);
    EXPECT_EQ(L"rb-JP", GetUILanguage());
    setenv("QMX_HOST_LANGID", "12", 1);
    EXPECT_EQ(L"ko-KR", GetUILanguage());
    setenv("QMX_HOST_LANGID", "not hex", 1);
    EXPECT_EQ(L"en", GetUILanguage());
    unsetenv("QMX_HOST_LANGID");
    EXPECT_EQ(L"en", GetUILanguage());
}
#endif

// ---- reading a table ----

TEST_F(StringTableTest, ReadsIdsAndTexts) {
    ASSERT_TRUE(Parse(
        "<StringTable><String Id=\"A\">one</String><String Id=\"B\">two</String></StringTable>"));
    EXPECT_EQ(2u, g_mapStrings.size());
    EXPECT_EQ("one", g_mapStrings["A"]);
    EXPECT_EQ(L"two", GetString(L"B"));
}

TEST_F(StringTableTest, LaterElementWithTheSameIdWins) {
    ASSERT_TRUE(Parse(
        "<StringTable><String Id=\"A\">old</String><String Id=\"A\">new</String></StringTable>"));
    EXPECT_EQ("new", g_mapStrings["A"]);
    // A second table replaces per id and keeps the rest.
    ASSERT_TRUE(Parse("<StringTable><String Id=\"B\">b</String></StringTable>"));
    EXPECT_EQ("new", g_mapStrings["A"]);
    EXPECT_EQ("b", g_mapStrings["B"]);
}

TEST_F(StringTableTest, ElementWhoseFirstAttributeIsNotIdIsSkipped) {
    ASSERT_TRUE(
        Parse("<StringTable><String Name=\"x\" Id=\"A\">skipped</String>"
              "<String Id=\"B\" Name=\"x\">kept</String><String>no id</String></StringTable>"));
    EXPECT_EQ(0u, g_mapStrings.count("A"));
    EXPECT_EQ("kept", g_mapStrings["B"]);
    EXPECT_EQ(1u, g_mapStrings.size());
}

TEST_F(StringTableTest, ReadsFromTheFirstStringOnWhateverTheSiblingNames) {
    ASSERT_TRUE(Parse("<StringTable><Other Id=\"before\">x</Other><String Id=\"A\">a</String>"
                      "<Other Id=\"after\">y</Other></StringTable>"));
    EXPECT_EQ(0u, g_mapStrings.count("before"));
    EXPECT_EQ("a", g_mapStrings["A"]);
    EXPECT_EQ("y", g_mapStrings["after"]);
}

TEST_F(StringTableTest, NoStringChildOrAnotherRootChangesNothing) {
    g_mapStrings["keep"] = "me";
    EXPECT_TRUE(Parse("<StringTable><Other Id=\"A\">a</Other></StringTable>"));
    EXPECT_TRUE(Parse("<StringTable/>"));
    EXPECT_TRUE(Parse("<Strings><String Id=\"A\">a</String></Strings>"));
    EXPECT_TRUE(Parse("<?xml version=\"1.0\"?><!-- only a comment -->"));
    ASSERT_EQ(1u, g_mapStrings.size());
    EXPECT_EQ("me", g_mapStrings["keep"]);
}

TEST_F(StringTableTest, BrokenXmlFailsAndChangesNothing) {
    g_mapStrings["keep"] = "me";
    EXPECT_FALSE(Parse("<StringTable><String Id=\"A\">a</String>"));
    EXPECT_FALSE(Parse("<StringTable><String Id=\"A>a</String></StringTable>"));
    EXPECT_FALSE(Parse("not xml at all"));
    EXPECT_FALSE(Parse(""));
    EXPECT_FALSE(ParseStringTable(nullptr, 10));
    ASSERT_EQ(1u, g_mapStrings.size());
    EXPECT_EQ("me", g_mapStrings["keep"]);
}

TEST_F(StringTableTest, HonoursTheGivenLength) {
    const std::string xml = "<StringTable><String Id=\"A\">a</String></StringTable>";
    const std::string withTail = xml + "<garbage";
    EXPECT_TRUE(ParseStringTable(withTail.data(), xml.size()));
    EXPECT_EQ("a", g_mapStrings["A"]);
}

TEST_F(StringTableTest, ResolvesReferencesAndKeepsWhitespace) {
    ASSERT_TRUE(Parse(
        "<StringTable><String Id=\"A\">&#xD;line</String>"
        "<String Id=\"B\">  two  spaces </String><String Id=\"C\">a &amp; b &lt;c&gt;</String>"
        "<String Id=\"D\"></String><String Id=\"E\"><b>x</b></String></StringTable>"));
    EXPECT_EQ("\rline", g_mapStrings["A"]);
    EXPECT_EQ("  two  spaces ", g_mapStrings["B"]);
    EXPECT_EQ("a & b <c>", g_mapStrings["C"]);
    EXPECT_EQ("", g_mapStrings["D"]); // no text: stored empty
    EXPECT_EQ("", g_mapStrings["E"]); // first child not text
}

TEST_F(StringTableTest, UnknownIdReturnsTheIdItself) {
    EXPECT_EQ(L"IDS_DOWNLOAD", GetString(L"IDS_DOWNLOAD"));
    EXPECT_EQ(L"", GetString(L""));
    ASSERT_TRUE(Parse("<StringTable><String Id=\"IDS_OPEN\">Open</String></StringTable>"));
    EXPECT_EQ(L"IDS_QUIT", GetString(L"IDS_QUIT"));
    EXPECT_EQ(L"Open", GetString(L"IDS_OPEN"));
}

TEST_F(StringTableTest, TextsComeBackAsWideCharacters) {
    ASSERT_TRUE(
        Parse("<StringTable><String Id=\"A\">\xE4\xB8\x8B\xE8\xBD\xBD</String></StringTable>"));
    EXPECT_EQ(std::wstring(L"\x4E0B\x8F7D"), GetString(L"A"));
}

// ---- the built-in tables ----

class BuiltInTable : public StringTableTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BuiltInTable, IsUtf8WithBomAndCarriesEveryId) {
    const std::string xml = ReadSourceFile(std::string("resources/strings/") + GetParam() + ".xml");
    ASSERT_GT(xml.size(), 3u) << "missing table " << GetParam();
    EXPECT_EQ("\xEF\xBB\xBF", xml.substr(0, 3));
    ASSERT_TRUE(Parse(xml));
    EXPECT_EQ(sizeof(kIds) / sizeof(kIds[0]), g_mapStrings.size());
    for (const char* id : kIds) {
        ASSERT_EQ(1u, g_mapStrings.count(id)) << id;
        EXPECT_FALSE(g_mapStrings[id].empty()) << id;
        EXPECT_EQ(g_mapStrings[id], WideToUtf8(Utf8ToWide(g_mapStrings[id])))
            << id << " is not UTF-8";
    }
    EXPECT_EQ('\r', g_mapStrings["IDS_DOWNLOAD_SUCCED"][0]);
    EXPECT_EQ('\r', g_mapStrings["IDS_DOWNLOAD_FAIL"][0]);
    EXPECT_EQ(std::string(GetParam()) == "zh-CN", g_mapStrings["IDS_DOWNLOAD_TIPS"][0] == '\r');
    // The progress prefix runs straight into the percentage.
    EXPECT_EQ(' ', g_mapStrings["IDS_DOWNLOAD_PROGRESS"].back());
}

INSTANTIATE_TEST_SUITE_P(Tables, BuiltInTable, ::testing::Values("zh-CN", "en", "ko-KR", "rb-JP"),
                         [](const ::testing::TestParamInfo<const char*>& table) {
                             std::string name = table.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

TEST_F(StringTableTest, EnglishTableHasTheProductTexts) {
    ASSERT_TRUE(Parse(ReadSourceFile("resources/strings/en.xml")));
    EXPECT_EQ("Valdry Download Assistant", g_mapStrings["IDS_APP_NAME"]);
    EXPECT_EQ("Download", g_mapStrings["IDS_DOWNLOAD"]);
    EXPECT_EQ("Open", g_mapStrings["IDS_OPEN"]);
    EXPECT_EQ("Ask me later", g_mapStrings["IDS_LATER"]);
    EXPECT_EQ(
        "In order to experience all the functions of Valdry orvanteer, we suggest you download "
        "Valdry Orvanteer software!",
        g_mapStrings["IDS_DOWNLOAD_TIPS"]);
    EXPECT_EQ("\rDownload completed,please open the software now!",
              g_mapStrings["IDS_DOWNLOAD_SUCCED"]);
    EXPECT_EQ("\rDownload failed!", g_mapStrings["IDS_DOWNLOAD_FAIL"]);
    EXPECT_EQ("Download progress ", g_mapStrings["IDS_DOWNLOAD_PROGRESS"]);
    EXPECT_EQ("Never ask", g_mapStrings["IDS_QUIT"]);
    EXPECT_EQ("Close", g_mapStrings["IDS_CLOSE"]);
}

// ---- per-customer texts ----

class CustomerTextsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = theCustomer.values;
        theCustomer.values.clear();
    }
    void TearDown() override { theCustomer.values = saved_; }
    static std::pair<std::string, std::string> For(const wchar_t* code) {
        std::string title, text;
        ChooseCustomerTexts(code, title, text);
        return {title, text};
    }

  private:
    std::map<std::string, std::string> saved_;
};

TEST_F(CustomerTextsTest, EachLanguageReadsItsOwnPair) {
    theCustomer.values = {{"Chinese1", "c1"}, {"Chinese2", "c2"},  {"Korea1", "k1"},
                          {"Korea2", "k2"},   {"Japanese1", "j1"}, {"Japanese2", "j2"},
                          {"English1", "e1"}, {"English2", "e2"}};
    EXPECT_EQ(std::make_pair(std::string("c1"), std::string("c2")), For(L"zh-CN"));
    EXPECT_EQ(std::make_pair(std::string("k1"), std::string("k2")), For(L"ko-KR"));
    EXPECT_EQ(std::make_pair(std::string("j1"), std::string("j2")), For(L"rb-JP"));
    EXPECT_EQ(std::make_pair(std::string("e1"), std::string("e2")), For(L"en"));
}

TEST_F(CustomerTextsTest, FallBacksToEnglishAreIndependent) {
    // Korea1 present but empty, Korea2 missing: both from English.
    theCustomer.values = {
        {"Korea1", ""}, {"English1", "e1"}, {"English2", "e2"}, {"Chinese2", "c2"}};
    EXPECT_EQ(std::make_pair(std::string("e1"), std::string("e2")), For(L"ko-KR"));
    // Only the title falls back.
    EXPECT_EQ(std::make_pair(std::string("e1"), std::string("c2")), For(L"zh-CN"));
}

TEST_F(CustomerTextsTest, EnglishTitleOnlyLeavesTheOfferTextEmpty) {
    theCustomer.values = {{"English1", "Title"}};
    for (const wchar_t* code : {L"zh-CN", L"en", L"ko-KR", L"rb-JP"})
        EXPECT_EQ(std::make_pair(std::string("Title"), std::string()), For(code));
    theCustomer.values.clear();
    EXPECT_EQ(std::make_pair(std::string(), std::string()), For(L"en"));
    EXPECT_TRUE(theCustomer.values.empty()); // reading adds no entries
}
