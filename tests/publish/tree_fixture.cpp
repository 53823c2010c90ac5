// The temporary server tree shared by the qmxpublish tests.
#include "tree_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qmxpublish {

const char kTestHost[] = "tree.example:8080";
const char kSettingsPath[] = "downloads/orvanteer/windows/customersetting.xml";
const char kCustomerPath[] = "downloads/orvanteer/customers/customer007/windows/customer.xml";
const char kDescriptionPath[] =
    "downloads/orvanteer/customers/customer007/windows/files/orvanteer.xml";
const char kInstallerPath[] = "downloads/orvanteer/customers/customer007/windows/files/setup.exe";
const char kInstallerBytes[] = "abc";
const char kInstallerMd5[] = "900150983cd24fb0d6963f7d28e17f72";

namespace {
const char kFlagNames[][20] = {"SimplePopup_Cn",    "SpotlightPopup_Cn", "SimplePopup_En",
                               "SpotlightPopup_En", "SimplePopup_Kr",    "SpotlightPopup_Kr"};
const char kFilesUrl[] =
    "https://tree.example:8080/downloads/orvanteer/customers/customer007/windows/files/";
} // namespace

std::string Item(const std::string& id, const std::string& flag) {
    std::string item = "  <Item>\n    <CustomerID>" + id + "</CustomerID>\n";
    for (const char* name : kFlagNames)
        item += std::string("    <") + name + ">" + flag + "</" + name + ">\n";
    return item + "  </Item>\n";
}

std::string Settings(const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Items>\n" + items + "</Items>\n";
}

std::string CustomerDoc(const std::string& elements) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Option>\n" + elements + "</Option>\n";
}

std::string GoodCustomerElements() {
    return std::string("  <UrlDirectory>") + kFilesUrl +
           "</UrlDirectory>\n"
           "  <AppDirName>Valdry Orvanteer</AppDirName>\n"
           "  <Chinese1>标题</Chinese1>\n  <Chinese2>中文说明</Chinese2>\n"
           "  <English1>Title</English1>\n  <English2>English text</English2>\n"
           "  <Korea1>제목</Korea1>\n  <Korea2>한국어 설명</Korea2>\n"
           "  <Japanese1>タイトル</Japanese1>\n  <Japanese2>日本語の説明</Japanese2>\n";
}

std::string InstallerUrl() {
    return std::string(kFilesUrl) + "setup.exe";
}

std::string Description(const std::string& verson, const std::string& downLoad,
                        const std::string& md5) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Option>\n  <Verson>" + verson +
           "</Verson>\n  <DownLoad>" + downLoad + "</DownLoad>\n  <MD5>" + md5 +
           "</MD5>\n</Option>\n";
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qmxpublish-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr)
        ADD_FAILURE() << "cannot create a temporary folder";
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path file = m_path / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
    EXPECT_TRUE(out.good()) << file;
    return file.string();
}

std::string TempDir::Read(const std::string& relative) const {
    std::ifstream in(m_path / relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void TempDir::Remove(const std::string& relative) const {
    std::filesystem::remove(m_path / relative);
}

void PublishTree::SetUp() {
    tree.Write(kSettingsPath, Settings(Item("7")));
    tree.Write(kCustomerPath, CustomerDoc(GoodCustomerElements()));
    tree.Write(kDescriptionPath, Description("1.0.0", InstallerUrl(), kInstallerMd5));
    tree.Write(kInstallerPath, kInstallerBytes);
}

Report PublishTree::RunCheck() const {
    Report report;
    CheckOptions options;
    options.treeHost = kTestHost;
    CheckTree(tree.Path(), options, report);
    return report;
}

Report PublishTree::RunCheckWithoutHost() const {
    Report report;
    CheckTree(tree.Path(), CheckOptions(), report);
    return report;
}

Report PublishTree::RunExplain() const {
    Report report;
    ExplainTree(tree.Path(), report);
    return report;
}

bool HasLine(const Report& report, const std::string& prefix,
             std::initializer_list<std::string> parts) {
    for (const std::string& line : report.Lines()) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        if (all)
            return true;
    }
    return false;
}

std::string Dump(const Report& report) {
    std::string text;
    for (const std::string& line : report.Lines())
        text += line + "\n";
    return text;
}

} // namespace qmxpublish
