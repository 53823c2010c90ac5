// The installer description maker: what it writes must come back through
// the assistant's own reader unchanged, with the installer's lower-case MD5.
#include "tree_fixture.h"

#include "config/xml_config.h"

namespace qmxpublish {
namespace {

class Describe : public ::testing::Test {
  protected:
    DescribeRequest Request(const std::string& url = "https://h.example/files/setup.exe") {
        DescribeRequest request;
        request.version = "2.3.1";
        request.url = url;
        request.installer = dir.Write("setup.exe", "abc");
        request.out = dir.Path() + "/orvanteer.xml";
        return request;
    }
    TempDir dir;
};

TEST_F(Describe, RoundTripsThroughTheAssistantsReader) {
    Report report;
    const DescribeRequest request = Request();
    ASSERT_TRUE(DescribeInstaller(request, report)) << Dump(report);
    CXmlConfig readBack;
    ASSERT_TRUE(readBack.LoadFromFile(request.out));
    EXPECT_EQ(readBack.values["Verson"], "2.3.1");
    EXPECT_EQ(readBack.values["DownLoad"], "https://h.example/files/setup.exe");
    EXPECT_EQ(readBack.values["MD5"], kInstallerMd5);
    EXPECT_TRUE(HasLine(report, "ok: ", {"orvanteer.xml", kInstallerMd5})) << Dump(report);
}

TEST_F(Describe, AddressWithXmlSpecialCharactersRoundTrips) {
    Report report;
    const DescribeRequest request = Request("https://h.example/get?file=setup.exe&v=<2>");
    ASSERT_TRUE(DescribeInstaller(request, report)) << Dump(report);
    CXmlConfig readBack;
    ASSERT_TRUE(readBack.LoadFromFile(request.out));
    EXPECT_EQ(readBack.values["DownLoad"], "https://h.example/get?file=setup.exe&v=<2>");
}

TEST_F(Describe, ResultPassesTheChecker) {
    TempDir tree;
    tree.Write(kSettingsPath, Settings(Item("7")));
    tree.Write(kCustomerPath, CustomerDoc(GoodCustomerElements()));
    DescribeRequest request;
    request.version = "1.0.0";
    request.url = InstallerUrl();
    request.installer = tree.Write(kInstallerPath, "a different installer");
    request.out = tree.Path() + "/" + kDescriptionPath;
    Report made;
    ASSERT_TRUE(DescribeInstaller(request, made)) << Dump(made);
    Report checked;
    CheckOptions options;
    options.treeHost = kTestHost;
    CheckTree(tree.Path(), options, checked);
    EXPECT_EQ(checked.Errors(), 0) << Dump(checked);
    EXPECT_EQ(checked.Warnings(), 0) << Dump(checked);
}

TEST_F(Describe, MissingInstallerWritesNothing) {
    Report report;
    DescribeRequest request = Request();
    request.installer = dir.Path() + "/nothing.exe";
    EXPECT_FALSE(DescribeInstaller(request, report));
    EXPECT_TRUE(HasLine(report, "error: ", {"nothing.exe", "no such installer"})) << Dump(report);
    EXPECT_TRUE(dir.Read("orvanteer.xml").empty());
}

TEST_F(Describe, EmptyVersionIsRefused) {
    Report report;
    DescribeRequest request = Request();
    request.version.clear();
    EXPECT_FALSE(DescribeInstaller(request, report));
    EXPECT_TRUE(HasLine(report, "error: ", {"--version is empty"})) << Dump(report);
}

TEST_F(Describe, AddressThatIsNoHttpAddressIsRefused) {
    Report report;
    EXPECT_FALSE(DescribeInstaller(Request("setup.exe"), report));
    EXPECT_TRUE(HasLine(report, "error: ", {"not an http:// or https:// address"})) << Dump(report);
}

TEST_F(Describe, UnwritableOutputIsAnError) {
    Report report;
    DescribeRequest request = Request();
    request.out = dir.Path() + "/no/such/folder/orvanteer.xml";
    EXPECT_FALSE(DescribeInstaller(request, report));
    EXPECT_TRUE(HasLine(report, "error: ", {"cannot be written"})) << Dump(report);
}

} // namespace
} // namespace qmxpublish
