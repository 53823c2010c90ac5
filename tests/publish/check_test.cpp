// The checker against trees broken in one place each: every trap that fails
// silently on a user's desk must come out as an error (or, where the
// assistant still works, a warning that says what it will do).
#include "tree_fixture.h"

namespace qmxpublish {
namespace {

using CheckGoodTree = PublishTree;

TEST_F(CheckGoodTree, HasNoFindingsAndConfirmsEachDocument) {
    const Report report = RunCheck();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_EQ(report.Warnings(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "ok: ", {"customersetting.xml", "1 customer(s): 7"}));
    EXPECT_TRUE(HasLine(report, "ok: ", {"customer007", "AppDirName \"Valdry Orvanteer\""}));
    EXPECT_TRUE(HasLine(report, "ok: ", {"orvanteer.xml", "MD5 matches", "setup.exe"}));
}

TEST_F(CheckGoodTree, WithoutHostStillVerifiesFilesPresentInTheTree) {
    const Report report = RunCheckWithoutHost();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "ok: ", {"MD5 matches"})) << Dump(report);
}

TEST_F(CheckGoodTree, MissingFolderIsAnError) {
    Report report;
    CheckTree(tree.Path() + "/no-such-folder", CheckOptions(), report);
    EXPECT_TRUE(HasLine(report, "error: ", {"no-such-folder", "no such folder"})) << Dump(report);
}

// ---- customer settings ------------------------------------------------------

using CheckSettings = PublishTree;

struct FlagCase {
    const char* text;
    const char* treatedAs;
};
class CheckFlagText : public PublishTree, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(CheckFlagText, IsWarnedWithWhatTheAssistantMakesOfIt) {
    const FlagCase flag = GetParam();
    tree.Write(kSettingsPath,
               Settings("  <Item>\n    <CustomerID>7</CustomerID>\n    <SimplePopup_En>" +
                        std::string(flag.text) + "</SimplePopup_En>\n  </Item>\n"));
    const Report report = RunCheck();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "warning: ",
                        {"customersetting.xml", "line 5: SimplePopup_En",
                         std::string("treats it as ") + flag.treatedAs}))
        << Dump(report);
}

INSTANTIATE_TEST_SUITE_P(NotExactlyTrueOrFalse, CheckFlagText,
                         ::testing::Values(FlagCase{"false", "True"}, FlagCase{"FALSE", "True"},
                                           FlagCase{"0", "True"}, FlagCase{"", "True"},
                                           FlagCase{" False", "True"}, FlagCase{"no", "True"}));

TEST_F(CheckSettings, ExactTrueAndFalseAreNotWarned) {
    tree.Write(kSettingsPath, Settings(Item("7", "True") + Item("8", "False")));
    const Report report = RunCheck();
    EXPECT_EQ(report.Warnings(), 0) << Dump(report);
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
}

TEST_F(CheckSettings, DuplicateCustomerIdIsAnError) {
    tree.Write(kSettingsPath, Settings(Item("7") + Item("7", "False")));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"customersetting.xml", "customer 7", "listed again"}))
        << Dump(report);
}

TEST_F(CheckSettings, IdsThatReadAsTheSameNumberAreDuplicates) {
    tree.Write(kSettingsPath, Settings(Item("7") + Item("007")));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"customer 7", "listed again"})) << Dump(report);
}

TEST_F(CheckSettings, NonNumericIdIsAnErrorNamingTheNumberRead) {
    tree.Write(kSettingsPath, Settings(Item("7") + Item("12a")));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"CustomerID \"12a\"", "reads it as 12"}))
        << Dump(report);
}

TEST_F(CheckSettings, ItemWithoutIdIsFiledUnderCustomerZero) {
    tree.Write(kSettingsPath,
               Settings(Item("7") + "  <Item>\n    <SimplePopup_Cn>True</SimplePopup_Cn>\n"
                                    "  </Item>\n"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"without <CustomerID>", "customer 0"})) << Dump(report);
}

TEST_F(CheckSettings, IdOutsideTheRemotesRangeIsWarned) {
    tree.Write(kSettingsPath, Settings(Item("7") + Item("300", "False")));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "warning: ", {"customer 300", "never asked for"})) << Dump(report);
}

TEST_F(CheckSettings, ElementsBeforeTheFirstItemAreNotRead) {
    tree.Write(kSettingsPath, Settings("  <Note>x</Note>\n" + Item("7")));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "warning: ", {"<Note>", "before the first <Item>"}))
        << Dump(report);
}

TEST_F(CheckSettings, OtherElementsAfterTheFirstItemBecomeCustomerEntries) {
    tree.Write(kSettingsPath, Settings(Item("7") + "  <Note>x</Note>\n"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "warning: ", {"<Note>", "read as a customer entry"}))
        << Dump(report);
    EXPECT_TRUE(HasLine(report, "error: ", {"without <CustomerID>"})) << Dump(report);
}

TEST_F(CheckSettings, JapaneseFlagPairDoesNotExist) {
    tree.Write(kSettingsPath, Settings("  <Item>\n    <CustomerID>7</CustomerID>\n"
                                       "    <SimplePopup_Jp>False</SimplePopup_Jp>\n  </Item>\n"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "warning: ", {"<SimplePopup_Jp>", "not read", "_Cn pair"}))
        << Dump(report);
}

TEST_F(CheckSettings, WrongCaseElementNameGetsAHint) {
    tree.Write(kSettingsPath, Settings("  <Item>\n    <CustomerID>7</CustomerID>\n"
                                       "    <SimplePopup_EN>False</SimplePopup_EN>\n  </Item>\n"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "warning: ", {"<SimplePopup_EN>", "did you mean <SimplePopup_En>"}))
        << Dump(report);
}

TEST_F(CheckSettings, MissingDocumentIsAnError) {
    tree.Remove(kSettingsPath);
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"customersetting.xml", "missing"})) << Dump(report);
}

// ---- documents that do not parse or have the wrong root ---------------------

struct BrokenDocument {
    const char* path;
    const char* content;
    const char* expected;
};
class CheckBrokenDocument : public PublishTree,
                            public ::testing::WithParamInterface<BrokenDocument> {};

TEST_P(CheckBrokenDocument, IsAnErrorOnThatFile) {
    const BrokenDocument broken = GetParam();
    tree.Write(broken.path, broken.content);
    const Report report = RunCheck();
    const std::string file = std::string(broken.path).substr(std::string(broken.path).rfind('/'));
    EXPECT_TRUE(HasLine(report, "error: ", {file, broken.expected})) << Dump(report);
}

INSTANTIATE_TEST_SUITE_P(
    EveryDocument, CheckBrokenDocument,
    ::testing::Values(
        BrokenDocument{kSettingsPath, "customer 7: yes", "not well-formed XML"},
        BrokenDocument{kSettingsPath, "<Items><Item></Items>", "not well-formed XML"},
        BrokenDocument{kSettingsPath, "<Option><Item/></Option>", "root element is <Option>"},
        BrokenDocument{kCustomerPath, "<html><body>404 Not Found</body>", "not well-formed XML"},
        BrokenDocument{kCustomerPath, "<html><body>404</body></html>", "root element is <html>"},
        BrokenDocument{kCustomerPath, "<?xml version=\"1.0\"?>", "no root element"},
        BrokenDocument{kCustomerPath, "<Option></Option>", "no elements below <Option>"},
        BrokenDocument{kDescriptionPath, "Verson=1.0", "not well-formed XML"},
        BrokenDocument{kDescriptionPath, "<Items/>", "root element is <Items>"}));

TEST_F(CheckSettings, NulByteIsAnError) {
    tree.Write(kSettingsPath, std::string("<Items>\0</Items>", 16));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"NUL byte at offset 7"})) << Dump(report);
}

TEST_F(CheckSettings, OversizedDocumentIsAnError) {
    tree.Write(kSettingsPath, Settings(Item("7") + std::string(512000, ' ')));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"keeps only the first 511999 bytes"})) << Dump(report);
}

TEST_F(CheckSettings, NonUtf8CustomerDocumentIsAnError) {
    // "标题" in GBK, as a Chinese editor might save it.
    tree.Write(kCustomerPath, CustomerDoc(GoodCustomerElements() + "  <Chinese1>\xB1\xEA\xCC\xE2" +
                                          "</Chinese1>\n"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"customer.xml", "not UTF-8"})) << Dump(report);
}

// ---- customer document ------------------------------------------------------

using CheckCustomerDocument = PublishTree;

TEST_F(CheckCustomerDocument, UrlDirectoryWithoutFinalSlashIsAnError) {
    std::string elements = GoodCustomerElements();
    elements.erase(elements.find("/</UrlDirectory>"), 1);
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(
        report, "error: ", {"customer.xml", "does not end with \"/\"", "filesorvanteer.xml"}))
        << Dump(report);
}

TEST_F(CheckCustomerDocument, UrlDirectoryWithBlanksAroundIsAnError) {
    std::string elements = GoodCustomerElements();
    elements.replace(elements.find("https://"), 0, "\n    ");
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"UrlDirectory \"\\n    https://", "blanks"}))
        << Dump(report);
}

TEST_F(CheckCustomerDocument, UrlDirectoryThatIsNoAddressIsAnError) {
    tree.Write(kCustomerPath, CustomerDoc("  <UrlDirectory>downloads/files/</UrlDirectory>\n"
                                          "  <AppDirName>Valdry Orvanteer</AppDirName>\n"
                                          "  <English1>T</English1><English2>X</English2>\n"
                                          "  <Chinese1>T</Chinese1><Chinese2>X</Chinese2>\n"
                                          "  <Korea1>T</Korea1><Korea2>X</Korea2>\n"
                                          "  <Japanese1>T</Japanese1><Japanese2>X</Japanese2>\n"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"not an http:// or https:// address"})) << Dump(report);
}

TEST_F(CheckCustomerDocument, MissingUrlDirectoryIsAnError) {
    std::string elements = GoodCustomerElements();
    elements.erase(0, elements.find('\n') + 1);
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"no <UrlDirectory>"})) << Dump(report);
}

TEST_F(CheckCustomerDocument, MissingAppDirNameIsAnError) {
    std::string elements = GoodCustomerElements();
    elements.erase(elements.find("  <AppDirName>"),
                   std::string("  <AppDirName>Valdry Orvanteer</AppDirName>\n").size());
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_TRUE(
        HasLine(report, "error: ", {"customer.xml", "no <AppDirName>", "never makes an offer"}))
        << Dump(report);
}

TEST_F(CheckCustomerDocument, EmptyAppDirNameIsAnError) {
    std::string elements = GoodCustomerElements();
    elements.replace(elements.find("Valdry Orvanteer<"), std::string("Valdry Orvanteer").size(),
                     "");
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"no <AppDirName>"})) << Dump(report);
}

class CheckUnsafeAppDirName : public PublishTree,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(CheckUnsafeAppDirName, IsAnError) {
    std::string elements = GoodCustomerElements();
    elements.replace(elements.find("Valdry Orvanteer<"), std::string("Valdry Orvanteer").size(),
                     GetParam());
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"AppDirName", "refuses it"})) << Dump(report);
}

INSTANTIATE_TEST_SUITE_P(OutsideProgramFiles, CheckUnsafeAppDirName,
                         ::testing::Values("..\\Windows", "Valdry\\..\\..\\Windows", "C:\\Tools",
                                           "C:Tools", "\\Tools", "/Tools", "..",
                                           "\\\\server\\share"));

TEST_F(CheckCustomerDocument, NestedAppDirNameIsAccepted) {
    std::string elements = GoodCustomerElements();
    elements.replace(elements.find("Valdry Orvanteer<"), std::string("Valdry Orvanteer").size(),
                     "Valdry\\Orvanteer");
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
}

TEST_F(CheckCustomerDocument, OverlongAppDirNameIsAnError) {
    std::string elements = GoodCustomerElements();
    elements.replace(elements.find("Valdry Orvanteer<"), std::string("Valdry Orvanteer").size(),
                     std::string(230, 'a'));
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"longer than 259", "offers it every time"}))
        << Dump(report);
}

TEST_F(CheckCustomerDocument, AppDirNameLengthLimitIsExact) {
    // "C:\\Program Files (x86)" (22) + "\\" + name + "\\orvanteer.exe" (14) must stay
    // within 259 characters: 222 fits, 223 does not.
    for (size_t length : {size_t{222}, size_t{223}}) {
        std::string elements = GoodCustomerElements();
        elements.replace(elements.find("Valdry Orvanteer<"), std::string("Valdry Orvanteer").size(),
                         std::string(length, 'a'));
        tree.Write(kCustomerPath, CustomerDoc(elements));
        const Report report = RunCheck();
        EXPECT_EQ(HasLine(report, "error: ", {"longer than 259"}), length == 223) << length << "\n"
                                                                                  << Dump(report);
    }
}

TEST_F(CheckCustomerDocument, MissingLanguageTextFallsBackToEnglishWithAWarning) {
    std::string elements = GoodCustomerElements();
    elements.erase(elements.find("  <Korea1>"), std::string("  <Korea1>제목</Korea1>\n").size());
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "warning: ", {"no <Korea1>", "Korean users", "\"Title\""}))
        << Dump(report);
}

TEST_F(CheckCustomerDocument, MissingTextAndEnglishFallBackIsAnError) {
    tree.Write(kCustomerPath,
               CustomerDoc(std::string("  <UrlDirectory>") +
                           InstallerUrl().substr(0, InstallerUrl().rfind('/') + 1) +
                           "</UrlDirectory>\n  <AppDirName>A</AppDirName>\n"
                           "  <Chinese1>标题</Chinese1>\n  <Chinese2>说明</Chinese2>\n"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"no <English1>", "English users"})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "error: ", {"neither <Korea2> nor <English2>", "Korean users"}))
        << Dump(report);
    EXPECT_FALSE(HasLine(report, "error: ", {"Chinese users"})) << Dump(report);
}

TEST_F(CheckCustomerDocument, TextsOfLanguagesWithoutAnOfferAreNotRequired) {
    // Offered in English only: a document with English texts alone is complete.
    tree.Write(kSettingsPath, Settings("  <Item>\n    <CustomerID>7</CustomerID>\n"
                                       "    <SimplePopup_Cn>False</SimplePopup_Cn>\n"
                                       "    <SpotlightPopup_Cn>False</SpotlightPopup_Cn>\n"
                                       "    <SimplePopup_Kr>False</SimplePopup_Kr>\n"
                                       "    <SpotlightPopup_Kr>False</SpotlightPopup_Kr>\n"
                                       "  </Item>\n"));
    std::string elements = GoodCustomerElements();
    elements.erase(elements.find("  <Chinese1>"),
                   elements.find("  <English1>") - elements.find("  <Chinese1>"));
    elements.erase(elements.find("  <Korea1>"));
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_EQ(report.Warnings(), 0) << Dump(report);
}

TEST_F(CheckCustomerDocument, MissingForAnOfferedCustomerIsAnError) {
    tree.Remove(kCustomerPath);
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"customer007", "missing", "never offered"}))
        << Dump(report);
}

TEST_F(CheckCustomerDocument, NotNeededForACustomerSwitchedOffEverywhere) {
    tree.Write(kSettingsPath, Settings(Item("7") + Item("8", "False")));
    const Report report = RunCheck();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "ok: ", {"customer008", "switched off everywhere"}))
        << Dump(report);
}

TEST_F(CheckCustomerDocument, UnknownAndDuplicateElementsAreWarned) {
    tree.Write(kCustomerPath, CustomerDoc(GoodCustomerElements() +
                                          "  <Japan1>x</Japan1>\n  <English1>Again</English1>\n"
                                          "  <urldirectory>x</urldirectory>\n"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "warning: ", {"<Japan1>", "not used"})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "warning: ", {"<English1>", "appears again"})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "warning: ", {"did you mean <UrlDirectory>"})) << Dump(report);
}

TEST_F(CheckCustomerDocument, MarkupInsideATextIsWarned) {
    std::string elements = GoodCustomerElements();
    elements.replace(elements.find("English text"), std::string("English text").size(),
                     "<b>Bold</b> text");
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "warning: ", {"<English2>", "holds markup"})) << Dump(report);
}

// ---- installer description and installer -----------------------------------

using CheckDescription = PublishTree;

TEST_F(CheckDescription, UpperCaseMd5IsAnErrorWithTheLowerCaseForm) {
    tree.Write(kDescriptionPath,
               Description("1.0.0", InstallerUrl(), "900150983CD24FB0D6963F7D28E17F72"));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ",
                        {"orvanteer.xml", "upper case", std::string("\"") + kInstallerMd5 + "\""}))
        << Dump(report);
    EXPECT_FALSE(HasLine(report, "error: ", {"does not match"})) << Dump(report);
}

TEST_F(CheckDescription, MismatchingMd5IsAnErrorNamingTheInstallersDigest) {
    tree.Write(kInstallerPath, "abcd");
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(
        report, "error: ", {"orvanteer.xml", "does not match", "e2fc714c4727ee9395f324cd2e7f331f"}))
        << Dump(report);
}

class CheckMalformedMd5 : public PublishTree, public ::testing::WithParamInterface<const char*> {};

TEST_P(CheckMalformedMd5, IsAnError) {
    tree.Write(kDescriptionPath, Description("1.0.0", InstallerUrl(), GetParam()));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"not 32 lower-case hexadecimal digits"}))
        << Dump(report);
}

INSTANTIATE_TEST_SUITE_P(NotADigest, CheckMalformedMd5,
                         ::testing::Values("900150983cd24fb0d6963f7d28e17f7",
                                           "900150983cd24fb0d6963f7d28e17f72a",
                                           " 900150983cd24fb0d6963f7d28e17f72",
                                           "900150983cd24fb0d6963f7d28e17g72", "md5-goes-here"));

TEST_F(CheckDescription, MisspeltElementsAreErrorsWithAHint) {
    tree.Write(kDescriptionPath, "<Option>\n  <Version>1.0</Version>\n  <Download>" +
                                     InstallerUrl() + "</Download>\n  <MD5>" + kInstallerMd5 +
                                     "</MD5>\n</Option>\n");
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"no <Verson>", "found <Version>"})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "error: ", {"no <DownLoad>", "found <Download>"})) << Dump(report);
}

TEST_F(CheckDescription, EmptyVersonReadsAsZero) {
    tree.Write(kDescriptionPath, Description("", InstallerUrl(), kInstallerMd5));
    const Report report = RunCheck();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "warning: ", {"<Verson> is empty", "\"0\""})) << Dump(report);
}

TEST_F(CheckDescription, EmptyMd5AndDownLoadAreErrors) {
    tree.Write(kDescriptionPath, Description("1.0.0", "", ""));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"<DownLoad> is empty"})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "error: ", {"<MD5> is empty"})) << Dump(report);
}

TEST_F(CheckDescription, MissingFromTheTreeIsAnErrorWhenTheHostIsTheTrees) {
    tree.Remove(kDescriptionPath);
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"customer.xml", "installer description", "missing"}))
        << Dump(report);
}

TEST_F(CheckDescription, MissingFromTheTreeIsOnlyAWarningWithoutHost) {
    tree.Remove(kDescriptionPath);
    const Report report = RunCheckWithoutHost();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "warning: ", {"installer description", "not in the tree"}))
        << Dump(report);
}

TEST_F(CheckDescription, OnAnotherHostIsNotChecked) {
    tree.Write(kDescriptionPath, "not even XML");
    Report report;
    CheckOptions options;
    options.treeHost = "other.example";
    CheckTree(tree.Path(), options, report);
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "warning: ", {"is on host tree.example:8080", "not checked"}))
        << Dump(report);
}

TEST_F(CheckDescription, HostIsComparedWithoutCase) {
    Report report;
    CheckOptions options;
    options.treeHost = "TREE.Example:8080";
    CheckTree(tree.Path(), options, report);
    EXPECT_TRUE(HasLine(report, "ok: ", {"MD5 matches"})) << Dump(report);
}

TEST_F(CheckDescription, MissingInstallerIsAnErrorWhenTheHostIsTheTrees) {
    tree.Remove(kInstallerPath);
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "error: ", {"installer", "setup.exe", "missing from the tree"}))
        << Dump(report);
}

TEST_F(CheckDescription, SharedDirectoryIsCheckedOnce) {
    tree.Write(kSettingsPath, Settings(Item("7") + Item("8")));
    tree.Write("downloads/orvanteer/customers/customer008/windows/customer.xml",
               CustomerDoc(GoodCustomerElements()));
    tree.Write(kDescriptionPath,
               Description("1.0.0", InstallerUrl(), "900150983CD24FB0D6963F7D28E17F72"));
    const Report report = RunCheck();
    EXPECT_EQ(report.Errors(), 1) << Dump(report);
}

TEST_F(CheckDescription, InstallerAddressClimbingOutOfTheTreeIsNotFollowed) {
    tree.Write(kDescriptionPath,
               Description("1.0.0", "https://tree.example:8080/../../etc/passwd", kInstallerMd5));
    const Report report = RunCheck();
    EXPECT_TRUE(HasLine(report, "warning: ", {"does not map onto the tree"})) << Dump(report);
    EXPECT_FALSE(HasLine(report, "error: ", {"passwd"})) << Dump(report);
}

} // namespace
} // namespace qmxpublish
