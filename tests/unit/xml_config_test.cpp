// The XML document readers (installer description, customer document,
// customer settings), loading through the virtual slots, and the saved
// document's round trip through a file.
#include "config/xml_config.h"
#include "i18n/strings.h"
#include "support/language.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using Values = std::map<std::string, std::string>;

// ---- installer description (CXmlConfig) ---------------------------------

TEST(InstallerDocument, ReadsTheThreeKeysOnly) {
    CXmlConfig config;
    ASSERT_TRUE(config.LoadFromText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    "<Option>\n"
                                    "  <Verson>2.1.0</Verson>\n"
                                    "  <DownLoad>https://h/d/setup.exe?a=1&amp;b=2</DownLoad>\n"
                                    "  <MD5>0123456789abcdef0123456789abcdef</MD5>\n"
                                    "  <UrlDirectory>https://h/other/</UrlDirectory>\n"
                                    "</Option>\n"));
    EXPECT_EQ(config.values, (Values{{"Verson", "2.1.0"},
                                     {"DownLoad", "https://h/d/setup.exe?a=1&b=2"},
                                     {"MD5", "0123456789abcdef0123456789abcdef"}}));
}

TEST(InstallerDocument, EmptyElementsAndMissingOnes) {
    CXmlConfig config;
    ASSERT_TRUE(config.LoadFromText("<Option><Verson/><DownLoad></DownLoad></Option>"));
    EXPECT_EQ(config.values, (Values{{"Verson", "0"}, {"DownLoad", ""}}));
    EXPECT_EQ(config.values.count("MD5"), 0u);
}

TEST(InstallerDocument, ElementWhoseFirstChildIsNotTextHasNoText) {
    CXmlConfig config;
    ASSERT_TRUE(config.LoadFromText("<Option><Verson><b/>1.0</Verson>"
                                    "<MD5><!-- c -->abc</MD5></Option>"));
    EXPECT_EQ(config.values["Verson"], "0");
    EXPECT_EQ(config.values["MD5"], "");
}

TEST(InstallerDocument, FirstElementOfANameCounts) {
    CXmlConfig config;
    ASSERT_TRUE(config.LoadFromText("<Option><MD5>first</MD5><MD5>second</MD5></Option>"));
    EXPECT_EQ(config.values["MD5"], "first");
}

TEST(InstallerDocument, WhitespaceInsideTextIsKept) {
    CXmlConfig config;
    ASSERT_TRUE(config.LoadFromText("<Option><Verson> 1.0\t2 </Verson></Option>"));
    EXPECT_EQ(config.values["Verson"], " 1.0\t2 ");
}

TEST(InstallerDocument, LaterLoadsKeepEntriesTheyDoNotMention) {
    CXmlConfig config;
    ASSERT_TRUE(config.LoadFromText("<Option><Verson>1</Verson><MD5>aa</MD5></Option>"));
    ASSERT_TRUE(config.LoadFromText("<Option><Verson>2</Verson></Option>"));
    EXPECT_EQ(config.values, (Values{{"Verson", "2"}, {"MD5", "aa"}}));
}

TEST(InstallerDocument, UnparsableTextFailsAndChangesNothing) {
    CXmlConfig config;
    config.values["Verson"] = "kept";
    EXPECT_FALSE(config.LoadFromText(""));
    EXPECT_FALSE(config.LoadFromText("not xml at all"));
    EXPECT_FALSE(config.LoadFromText("<Option><Verson>1</Option>"));
    EXPECT_FALSE(config.LoadFromText("<html><body>404<br></body></html>"));
    EXPECT_EQ(config.values, (Values{{"Verson", "kept"}}));
}

TEST(InstallerDocument, OtherRootParsesButIsNotRead) {
    CXmlConfig config;
    config.values["MD5"] = "kept";
    EXPECT_TRUE(config.LoadFromText("<html><body><h1>404 Not Found</h1></body></html>"));
    EXPECT_TRUE(config.LoadFromText("<option><MD5>lower-case root</MD5></option>"));
    EXPECT_TRUE(config.LoadFromText("<?xml version=\"1.0\"?><!-- only a comment -->"));
    EXPECT_EQ(config.values, (Values{{"MD5", "kept"}}));
}

// ---- customer document (CXmlCustomer) ------------------------------------

TEST(CustomerDocument, EveryChildOfTheRootBecomesAValue) {
    CXmlCustomer customer;
    ASSERT_TRUE(customer.LoadFromText("<Option>"
                                      "<UrlDirectory>https://h/c/007/</UrlDirectory>"
                                      "<AppDirName>Orvanteer Suite</AppDirName>"
                                      "<Chinese1></Chinese1>"
                                      "<English1>Hello <b>there</b></English1>"
                                      "<English2>A &lt;new&gt; version</English2>"
                                      "<English2>later wins</English2>"
                                      "</Option>"));
    EXPECT_EQ(customer.values, (Values{{"UrlDirectory", "https://h/c/007/"},
                                       {"AppDirName", "Orvanteer Suite"},
                                       {"Chinese1", ""},
                                       {"English1", "Hello "},
                                       {"English2", "later wins"}}));
}

TEST(CustomerDocument, SecondDocumentKeepsKeysItLacks) {
    CXmlCustomer customer;
    ASSERT_TRUE(customer.LoadFromText("<Option><AppDirName>First</AppDirName>"
                                      "<UrlDirectory>u1</UrlDirectory></Option>"));
    ASSERT_TRUE(customer.LoadFromText("<Option><UrlDirectory>u2</UrlDirectory></Option>"));
    EXPECT_EQ(customer.values, (Values{{"AppDirName", "First"}, {"UrlDirectory", "u2"}}));
}

TEST(CustomerDocument, LoadsThroughTheBaseClassSlot) {
    CXmlCustomer customer;
    CXmlConfig& asConfig = customer;
    ASSERT_TRUE(asConfig.LoadFromText("<Option><Korea1>k</Korea1></Option>"));
    // The customer reader ran, not the installer reader (which ignores Korea1).
    EXPECT_EQ(customer.values, (Values{{"Korea1", "k"}}));
}

TEST(CustomerDocument, GetValueLeavesOutputAloneWhenKeyMissing) {
    CXmlCustomer customer;
    customer.values["AppDirName"] = "Suite";
    std::string out = "before";
    customer.GetValue("UrlDirectory", out);
    EXPECT_EQ(out, "before");
    customer.GetValue("AppDirName", out);
    EXPECT_EQ(out, "Suite");
}

TEST(CustomerDocument, GetCustomerTextNeverAddsAnEntry) {
    const Values saved = theCustomer.values;
    theCustomer.values = {{"English1", "Title"}};
    EXPECT_EQ(GetCustomerText("English1"), "Title");
    EXPECT_EQ(GetCustomerText("Japanese1"), "");
    EXPECT_EQ(theCustomer.values.size(), 1u);
    theCustomer.values = saved;
}

// ---- customer settings ---------------------------------------------------

// Parses `xml` and reads its items for `language` into `customers`.
void ReadItems(const char* xml, const wchar_t* language,
               std::map<int, CustomerSetting>& customers) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    ASSERT_EQ(doc.Parse(xml), tinyxml2::XML_SUCCESS) << xml;
    ReadCustomerItems(doc.RootElement(), language, customers);
}

std::map<int, CustomerSetting> ReadItems(const char* xml, const wchar_t* language) {
    std::map<int, CustomerSetting> customers;
    ReadItems(xml, language, customers);
    return customers;
}

::testing::AssertionResult HasCustomer(const std::map<int, CustomerSetting>& customers, int id,
                                       bool simple, bool spotlight) {
    const auto found = customers.find(id);
    if (found == customers.end())
        return ::testing::AssertionFailure() << "no customer " << id;
    const CustomerSetting& s = found->second;
    if (s.customerId != id || s.simplePopup != simple || s.spotlightPopup != spotlight)
        return ::testing::AssertionFailure()
               << "customer " << id << ": id " << s.customerId << " simple " << s.simplePopup
               << " spotlight " << s.spotlightPopup;
    return ::testing::AssertionSuccess();
}

// Each pair says "False" for exactly one of its flags, a different one per
// language, so the pair that was read shows in the result.
const char kAllPairs[] = "<Items><Item>"
                         "<CustomerID>5</CustomerID>"
                         "<SimplePopup_Cn>False</SimplePopup_Cn>"
                         "<SpotlightPopup_Cn>True</SpotlightPopup_Cn>"
                         "<SimplePopup_En>True</SimplePopup_En>"
                         "<SpotlightPopup_En>False</SpotlightPopup_En>"
                         "<SimplePopup_Kr>False</SimplePopup_Kr>"
                         "<SpotlightPopup_Kr>False</SpotlightPopup_Kr>"
                         "</Item></Items>";

TEST(CustomerSettings, LanguageChoosesThePair) {
    EXPECT_TRUE(HasCustomer(ReadItems(kAllPairs, L"en"), 5, true, false));
    EXPECT_TRUE(HasCustomer(ReadItems(kAllPairs, L"ko-KR"), 5, false, false));
    EXPECT_TRUE(HasCustomer(ReadItems(kAllPairs, L"zh-CN"), 5, false, true));
    // Japanese and any unknown code read the Chinese pair.
    EXPECT_TRUE(HasCustomer(ReadItems(kAllPairs, L"rb-JP"), 5, false, true));
    EXPECT_TRUE(HasCustomer(ReadItems(kAllPairs, L"EN"), 5, false, true));
    EXPECT_TRUE(HasCustomer(ReadItems(kAllPairs, L""), 5, false, true));
}

TEST(CustomerSettings, DocumentLoadReadsThePairOfTheCurrentUiLanguage) {
    const CustomerSetting expected = ReadItems(kAllPairs, GetUILanguage().c_str()).at(5);
    CXmlCustomersetting settings;
    ASSERT_TRUE(settings.LoadFromText(kAllPairs));
    EXPECT_TRUE(HasCustomer(settings.customers, 5, expected.simplePopup, expected.spotlightPopup));
#ifndef _WIN32
    // The host's stand-in takes the UI language identifier from the environment.
    struct Case {
        const char* langId;
        bool simple, spotlight;
    };
    const Case cases[] = {{"0409", true, false}, {"0412", false, false}, {"0411", false, true}};
    const char* saved = std::getenv("QMX_HOST_LANGID");
    const std::string savedValue = saved ? saved : "";
    for (const Case& c : cases) {
        setenv("QMX_HOST_LANGID", c.langId, 1);
        CXmlCustomersetting reread;
        ASSERT_TRUE(reread.LoadFromText(kAllPairs));
        EXPECT_TRUE(HasCustomer(reread.customers, 5, c.simple, c.spotlight)) << c.langId;
    }
    if (saved)
        setenv("QMX_HOST_LANGID", savedValue.c_str(), 1);
    else
        unsetenv("QMX_HOST_LANGID");
#endif
}

TEST(CustomerSettings, OnlyExactFalseTurnsAFlagOff) {
    const char* const notFalse[] = {"false", "FALSE", "0", "", " False", "False ", "no"};
    for (const char* text : notFalse) {
        const std::string xml = std::string("<Items><Item><CustomerID>1</CustomerID>"
                                            "<SimplePopup_En>") +
                                text + "</SimplePopup_En><SpotlightPopup_En/></Item></Items>";
        EXPECT_TRUE(HasCustomer(ReadItems(xml.c_str(), L"en"), 1, true, true))
            << '"' << text << '"';
    }
    EXPECT_TRUE(HasCustomer(ReadItems("<Items><Item><CustomerID>1</CustomerID>"
                                      "<SimplePopup_En>False</SimplePopup_En></Item></Items>",
                                      L"en"),
                            1, false, true));
}

TEST(CustomerSettings, OtherLanguagePairIsIgnored) {
    const char xml[] = "<Items><Item><CustomerID>3</CustomerID>"
                       "<SimplePopup_En>False</SimplePopup_En>"
                       "<SpotlightPopup_En>False</SpotlightPopup_En></Item></Items>";
    EXPECT_TRUE(HasCustomer(ReadItems(xml, L"zh-CN"), 3, true, true));
    EXPECT_TRUE(HasCustomer(ReadItems(xml, L"en"), 3, false, false));
}

TEST(CustomerSettings, CustomerIdReadsLikeAtoi) {
    struct Case {
        const char* text;
        int id;
    };
    const Case cases[] = {
        {"42", 42},
        {"  12abc", 12},
        {"-3", -3},
        {"+7", 7},
        {"abc", 0},
        {"", 0},
        {"\t\n 9", 9},
        {"007", 7},
        {"- 5", 0},
        {"2147483647", INT_MAX},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        const std::string xml =
            std::string("<Items><Item><CustomerID>") + c.text + "</CustomerID></Item></Items>";
        const auto customers = ReadItems(xml.c_str(), L"en");
        ASSERT_EQ(customers.size(), 1u) << c.text;
        EXPECT_EQ(customers.begin()->first, c.id) << '"' << c.text << '"';
        EXPECT_EQ(customers.begin()->second.customerId, c.id) << '"' << c.text << '"';
    }
}

TEST(CustomerSettings, ItemWithoutIdIsCustomerZero) {
    const auto customers = ReadItems("<Items><Item><SimplePopup_En>False</SimplePopup_En></Item>"
                                     "<Item><CustomerID/></Item></Items>",
                                     L"en");
    // The second item (empty CustomerID) is also customer 0 and replaces the first.
    ASSERT_EQ(customers.size(), 1u);
    EXPECT_TRUE(HasCustomer(customers, 0, true, true));
}

TEST(CustomerSettings, LaterDuplicatesWin) {
    const auto customers = ReadItems("<Items>"
                                     "<Item><CustomerID>9</CustomerID>"
                                     "<SimplePopup_En>False</SimplePopup_En></Item>"
                                     "<Item><CustomerID>9</CustomerID>"
                                     "<SpotlightPopup_En>False</SpotlightPopup_En></Item>"
                                     "<Item><CustomerID>1</CustomerID><CustomerID>2</CustomerID>"
                                     "<SimplePopup_En>False</SimplePopup_En>"
                                     "<SimplePopup_En>True</SimplePopup_En></Item>"
                                     "</Items>",
                                     L"en");
    ASSERT_EQ(customers.size(), 2u);
    EXPECT_TRUE(HasCustomer(customers, 9, true, false));
    EXPECT_TRUE(HasCustomer(customers, 2, true, true));
}

TEST(CustomerSettings, ListStartsAtFirstItemAndTakesEverySiblingAfterIt) {
    const auto customers = ReadItems("<Items>"
                                     "<Entry><CustomerID>100</CustomerID></Entry>"
                                     "<Item><CustomerID>4</CustomerID></Item>"
                                     "<Other><CustomerID>6</CustomerID>"
                                     "<SimplePopup_Kr>False</SimplePopup_Kr></Other>"
                                     "<!-- comment --><Item2/>"
                                     "</Items>",
                                     L"ko-KR");
    EXPECT_EQ(customers.count(100), 0u);
    EXPECT_TRUE(HasCustomer(customers, 4, true, true));
    EXPECT_TRUE(HasCustomer(customers, 6, false, true));
    EXPECT_TRUE(HasCustomer(customers, 0, true, true)); // from <Item2/>
    EXPECT_EQ(customers.size(), 3u);
}

TEST(CustomerSettings, NoItemEmptiesTheMap) {
    std::map<int, CustomerSetting> customers;
    customers[8] = CustomerSetting{8, false, false};
    ReadItems("<Items><Other><CustomerID>1</CustomerID></Other></Items>", L"en", customers);
    EXPECT_TRUE(customers.empty());
}

TEST(CustomerSettings, OtherRootKeepsEarlierEntries) {
    std::map<int, CustomerSetting> customers;
    customers[8] = CustomerSetting{8, false, true};
    ReadItems("<Option><Item><CustomerID>1</CustomerID></Item></Option>", L"en", customers);
    ReadCustomerItems(nullptr, L"en", customers);
    ASSERT_EQ(customers.size(), 1u);
    EXPECT_TRUE(HasCustomer(customers, 8, false, true));

    CXmlCustomersetting settings;
    settings.customers = customers;
    EXPECT_TRUE(settings.LoadFromText("<items><Item><CustomerID>1</CustomerID></Item></items>"));
    EXPECT_EQ(settings.customers.size(), 1u);
    EXPECT_EQ(settings.customers.count(8), 1u);
    // Parsed, but not the customer settings: a load that counts needs Items.
    EXPECT_FALSE(settings.itemsRead);
    EXPECT_TRUE(settings.LoadFromText("<Items/>"));
    EXPECT_TRUE(settings.itemsRead);
}

TEST(CustomerSettings, DocumentLoadReplacesCustomersAndLeavesValuesEmpty) {
    // Every pair agrees, so the result does not depend on the UI language.
    CXmlCustomersetting settings;
    settings.customers[8] = CustomerSetting{8, false, false};
    ASSERT_TRUE(settings.LoadFromText(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Items>\n"
        "  <Item>\n    <CustomerID>7</CustomerID>\n"
        "    <SimplePopup_Cn>False</SimplePopup_Cn><SimplePopup_En>False</SimplePopup_En>"
        "<SimplePopup_Kr>False</SimplePopup_Kr>\n  </Item>\n"
        "  <Item><CustomerID>12</CustomerID></Item>\n</Items>\n"));
    EXPECT_EQ(settings.customers.size(), 2u);
    EXPECT_TRUE(HasCustomer(settings.customers, 7, false, true));
    EXPECT_TRUE(HasCustomer(settings.customers, 12, true, true));
    EXPECT_TRUE(settings.values.empty());
    EXPECT_FALSE(settings.LoadFromText("<Items><Item>"));
    EXPECT_EQ(settings.customers.size(), 2u);
}

// ---- files ---------------------------------------------------------------

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + name;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DocumentFile, SaveThenLoadGivesTheSameValues) {
    CXmlCustomer saved;
    saved.values = {{"AppDirName", "Orvanteer Suite"},
                    {"Chinese1", "\xE4\xBD\xA0\xE5\xA5\xBD"},
                    {"Empty", ""},
                    {"English2", "A <new> version & more"},
                    {"Spaces", "  two  words  "},
                    {"UrlDirectory", "https://h/c/007/?x=\"1\""}};
    const std::string path = TempPath("qmx_config_roundtrip.xml");
    std::remove(path.c_str());
    ASSERT_TRUE(saved.SaveToFile(path));

    CXmlCustomer loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path));
    EXPECT_EQ(loaded.values, saved.values);
    std::remove(path.c_str());
}

TEST(DocumentFile, SavedDocumentIsAnIndentedOptionDocumentInKeyOrder) {
    CXmlConfig config;
    config.values = {{"Verson", "3"}, {"MD5", "ab"}, {"DownLoad", "d"}};
    const std::string path = TempPath("qmx_config_saved.xml");
    ASSERT_TRUE(config.SaveToFile(path));
    const std::string text = ReadWholeFile(path);
    std::remove(path.c_str());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
    const auto root = text.find("<Option>");
    const auto download = text.find("\n    <DownLoad>d</DownLoad>");
    const auto md5 = text.find("\n    <MD5>ab</MD5>");
    const auto version = text.find("\n    <Verson>3</Verson>");
    const auto end = text.find("</Option>");
    ASSERT_NE(root, std::string::npos) << text;
    ASSERT_NE(download, std::string::npos) << text;
    ASSERT_NE(md5, std::string::npos) << text;
    ASSERT_NE(version, std::string::npos) << text;
    ASSERT_NE(end, std::string::npos) << text;
    EXPECT_LT(root, download);
    EXPECT_LT(download, md5);
    EXPECT_LT(md5, version);
    EXPECT_LT(version, end);
}

TEST(DocumentFile, FileFailuresAnswerFalseAndKeepValues) {
    CXmlConfig config;
    config.values["MD5"] = "kept";
    EXPECT_FALSE(config.LoadFromFile(TempPath("qmx_no_such_folder/none.xml")));
    EXPECT_FALSE(config.SaveToFile(TempPath("qmx_no_such_folder/out.xml")));

    const std::string path = TempPath("qmx_config_garbage.xml");
    {
        std::ofstream out(path, std::ios::binary);
        out << "\x89PNG not a document <Option>";
    }
    EXPECT_FALSE(config.LoadFromFile(path));
    std::remove(path.c_str());
    EXPECT_EQ(config.values, (Values{{"MD5", "kept"}}));
}

TEST(DocumentFile, LoadFromFileReadsThroughTheDerivedReader) {
    const std::string path = TempPath("qmx_config_settings.xml");
    {
        std::ofstream out(path, std::ios::binary);
        out << "<Items><Item><CustomerID>33</CustomerID></Item></Items>";
    }
    CXmlCustomersetting settings;
    CXmlUtil& asUtil = settings;
    EXPECT_TRUE(asUtil.LoadFromFile(path));
    EXPECT_EQ(settings.customers.count(33), 1u);

    // The root class has no document of its own.
    CXmlUtil plain;
    EXPECT_FALSE(plain.LoadFromFile(path));
    EXPECT_FALSE(plain.SaveToFile(path));
    std::remove(path.c_str());
}

} // namespace
