// The explanation of what the assistant does per customer, UI language and
// model family, checked against the decisions the assistant really takes.
#include "tree_fixture.h"

namespace qmxpublish {
namespace {

using Explain = PublishTree;

TEST_F(Explain, OffersInEveryLanguageWithThatLanguagesTitle) {
    const Report report = RunExplain();
    EXPECT_TRUE(
        HasLine(report, "customer 7 zh-CN simple: ", {"offer \"标题\"", "nothing if installed"}))
        << Dump(report);
    EXPECT_TRUE(HasLine(report, "customer 7 en simple: ", {"offer \"Title\""})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "customer 7 ko-KR simple: ", {"offer \"제목\""})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "customer 7 rb-JP simple: ", {"offer \"タイトル\""}))
        << Dump(report);
    EXPECT_TRUE(HasLine(report, "customer 7 en spotlight: ",
                        {"offer \"Title\"", "Valdry Orvanteer\\orvanteer.exe", "-qmx_check"}))
        << Dump(report);
    EXPECT_EQ(report.Lines().size(), 8u) << Dump(report);
}

TEST_F(Explain, JapaneseFollowsTheChinesePair) {
    tree.Write(kSettingsPath, Settings("  <Item>\n    <CustomerID>7</CustomerID>\n"
                                       "    <SpotlightPopup_Cn>False</SpotlightPopup_Cn>\n"
                                       "  </Item>\n"));
    const Report report = RunExplain();
    EXPECT_TRUE(
        HasLine(report, "customer 7 rb-JP spotlight: nothing (SpotlightPopup_Cn is False)", {}))
        << Dump(report);
    EXPECT_TRUE(HasLine(report, "customer 7 zh-CN spotlight: nothing", {})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "customer 7 rb-JP simple: offer", {})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "customer 7 en spotlight: offer", {})) << Dump(report);
}

TEST_F(Explain, LowerCaseFalseStillOffers) {
    tree.Write(kSettingsPath, Settings(Item("7", "false")));
    const Report report = RunExplain();
    EXPECT_TRUE(HasLine(report, "customer 7 en simple: offer", {})) << Dump(report);
    EXPECT_FALSE(HasLine(report, "customer 7", {": nothing ("})) << Dump(report);
}

TEST_F(Explain, NothingWithoutCustomerDocument) {
    tree.Remove(kCustomerPath);
    const Report report = RunExplain();
    EXPECT_TRUE(HasLine(report, "customer 7 ko-KR spotlight: nothing (no customer document)", {}))
        << Dump(report);
}

TEST_F(Explain, NothingWithoutAppDirName) {
    tree.Write(kCustomerPath, CustomerDoc("  <English1>Title</English1>\n"));
    const Report report = RunExplain();
    EXPECT_TRUE(HasLine(report, "customer 7 en simple: nothing (no AppDirName)", {}))
        << Dump(report);
}

TEST_F(Explain, NothingWithUnsafeAppDirName) {
    tree.Write(kCustomerPath, CustomerDoc("  <AppDirName>..\\Windows</AppDirName>\n"));
    const Report report = RunExplain();
    EXPECT_TRUE(HasLine(report, "customer 7 en simple: nothing (AppDirName", {"refused"}))
        << Dump(report);
}

TEST_F(Explain, OverlongAppDirNameOffersEveryTime) {
    tree.Write(kCustomerPath, CustomerDoc("  <AppDirName>" + std::string(230, 'a') +
                                          "</AppDirName>\n  <English1>Title</English1>\n"));
    const Report report = RunExplain();
    EXPECT_TRUE(HasLine(report, "customer 7 en spotlight: offer \"Title\" every time", {}))
        << Dump(report);
}

TEST_F(Explain, EmptyLanguageTextFallsBackToEnglish) {
    std::string elements = GoodCustomerElements();
    elements.replace(elements.find("제목"), std::string("제목").size(), "");
    tree.Write(kCustomerPath, CustomerDoc(elements));
    const Report report = RunExplain();
    EXPECT_TRUE(HasLine(report, "customer 7 ko-KR simple: offer \"Title\"", {})) << Dump(report);
}

TEST_F(Explain, CustomerOutOfTheRemotesRange) {
    tree.Write(kSettingsPath, Settings(Item("7") + Item("256")));
    const Report report = RunExplain();
    EXPECT_TRUE(HasLine(report, "customer 256 en simple: nothing (remotes report 0 to 255)", {}))
        << Dump(report);
}

TEST_F(Explain, UnreadableSettingsAreAnError) {
    tree.Write(kSettingsPath, "<Items>");
    Report report;
    EXPECT_FALSE(ExplainTree(tree.Path(), report));
    EXPECT_TRUE(HasLine(report, "error: ", {"customersetting.xml", "never offers anything"}))
        << Dump(report);
}

} // namespace
} // namespace qmxpublish
