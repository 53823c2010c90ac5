// The bundled demo server tree, prepared the way the demo does it: the
// placeholder host replaced, an installer put beside the description and the
// description made anew for it. The result must check clean and offer
// customer 7's texts in all four languages.
#include "tree_fixture.h"

#include <cstring>
#include <fstream>
#include <sstream>

#ifndef QMX_SOURCE_DIR
#error "QMX_SOURCE_DIR must name the source tree"
#endif

namespace qmxpublish {
namespace {

const char kPlaceholderHost[] = "QMX_DEMO_HOST";
const char kDemoHost[] = "127.0.0.1:8080";
const char kDemoFiles[] = "downloads/orvanteer/customers/customer007/windows/files/";

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class DemoTree : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::filesystem::path source = std::filesystem::path(QMX_SOURCE_DIR) / "demo/server";
        ASSERT_TRUE(std::filesystem::is_directory(source)) << source;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(source)) {
            if (!entry.is_regular_file())
                continue;
            std::string text = ReadAll(entry.path());
            for (size_t at = text.find(kPlaceholderHost); at != std::string::npos;
                 at = text.find(kPlaceholderHost, at))
                text.replace(at, std::strlen(kPlaceholderHost), kDemoHost);
            tree.Write(std::filesystem::relative(entry.path(), source).string(), text);
        }
    }

    void Prepare() {
        DescribeRequest request;
        request.version = "1.0.0";
        request.url = std::string("https://") + kDemoHost + "/" + kDemoFiles + "setup.exe";
        request.installer = tree.Write(std::string(kDemoFiles) + "setup.exe", "MZ stand-in");
        request.out = tree.Path() + "/" + kDemoFiles + "orvanteer.xml";
        Report made;
        ASSERT_TRUE(DescribeInstaller(request, made)) << Dump(made);
    }

    Report Check() const {
        Report report;
        CheckOptions options;
        options.treeHost = kDemoHost;
        CheckTree(tree.Path(), options, report);
        return report;
    }

    TempDir tree;
};

TEST_F(DemoTree, PreparedTreeChecksClean) {
    Prepare();
    const Report report = Check();
    EXPECT_EQ(report.Errors(), 0) << Dump(report);
    EXPECT_EQ(report.Warnings(), 0) << Dump(report);
    EXPECT_TRUE(HasLine(report, "ok: ", {"MD5 matches"})) << Dump(report);
}

TEST_F(DemoTree, UnpreparedTreeNamesThePlaceholderDigest) {
    const Report report = Check();
    EXPECT_TRUE(HasLine(report, "error: ", {"QMX_DEMO_MD5", "not 32 lower-case"})) << Dump(report);
    EXPECT_TRUE(HasLine(report, "error: ", {"setup.exe", "missing from the tree"})) << Dump(report);
}

TEST_F(DemoTree, CustomerSevenIsOfferedInAllFourLanguages) {
    Prepare();
    Report report;
    ASSERT_TRUE(ExplainTree(tree.Path(), report));
    for (const char* language : {"zh-CN", "en", "ko-KR", "rb-JP"}) {
        for (const char* family : {"simple", "spotlight"}) {
            EXPECT_TRUE(HasLine(
                report, std::string("customer 7 ") + language + " " + family + ": offer \"", {}))
                << language << " " << family << "\n"
                << Dump(report);
        }
    }
    EXPECT_TRUE(HasLine(report, "customer 7 zh-CN simple: offer \"Valdry 下载助手\"", {}));
    EXPECT_TRUE(HasLine(report, "customer 0 en simple: nothing (SimplePopup_En is False)", {}));
    EXPECT_TRUE(HasLine(report, "customer 12 en simple: offer", {}));
    EXPECT_TRUE(HasLine(report, "customer 12 en spotlight: nothing", {}));
    EXPECT_TRUE(HasLine(report, "customer 12 ko-KR simple: nothing", {}));
}

} // namespace
} // namespace qmxpublish
