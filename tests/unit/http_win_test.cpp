// The two transfers on the Windows build, against the loopback nginx that
// tools/run-win-unit.sh serves: a document by POST over an "https:" address,
// and an installer download into a path with non-ASCII characters.
#include "net/document.h"
#include "net/installer.h"
#include "support/text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t kSubfolder[] = L"config-http";
const size_t kInstallerSize = 250000;

std::wstring Env(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

std::string Pattern(size_t count) {
    std::string text(count, '\0');
    for (size_t i = 0; i < count; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

bool WriteFileW(const std::wstring& path, const std::string& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    fclose(f);
    return ok;
}

std::string ReadFileW(const std::wstring& path) {
    std::string bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f)
        return bytes;
    char block[4096];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0)
        bytes.append(block, n);
    fclose(f);
    return bytes;
}

std::vector<std::pair<uint32_t, uint32_t>> g_progress;
std::wstring g_target; // the file being downloaded
int g_writersAdmitted = 0, g_readersAdmitted = 0;

// Whether another handle may open the file with `access` (every sharing
// mode offered on this side).
bool OthersMayOpen(DWORD access) {
    HANDLE h = CreateFileW(g_target.c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

void RecordProgress(uint32_t total, uint32_t received) {
    g_progress.emplace_back(total, received);
    if (!g_target.empty()) {
        g_writersAdmitted += OthersMayOpen(GENERIC_WRITE);
        g_readersAdmitted += OthersMayOpen(GENERIC_READ);
    }
}

class WindowsTransfer : public ::testing::Test {
  protected:
    void SetUp() override {
        server_ = Env(L"QMX_SIM_SERVER");
        const std::wstring docroot = Env(L"QMX_TEST_DOCROOT");
        if (server_.empty() || docroot.empty())
            GTEST_SKIP() << "run through tools/run-win-unit.sh (needs its loopback server)";
        folder_ = docroot + L"\\" + kSubfolder;
        CreateDirectoryW(folder_.c_str(), nullptr);
    }

    // The served address of a file in the test's folder, with "https:".
    std::wstring Url(const std::wstring& name) const {
        std::wstring url = server_ + L"/" + kSubfolder + L"/" + name;
        ReplaceAll(url, L"http:", L"https:");
        return url;
    }

    std::wstring server_;
    std::wstring folder_;
};

TEST_F(WindowsTransfer, FetchesADocumentOverAnHttpsAddress) {
    const std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<Option><English1>\xE4\xBD\xA0\xE5\xA5\xBD</English1></Option>\n";
    ASSERT_TRUE(WriteFileW(folder_ + L"\\customer.xml", document));
    EXPECT_EQ(FetchDocument(Url(L"customer.xml")), document);
    EXPECT_EQ(FetchDocument(Url(L"missing.xml")).find("<Option>"), std::string::npos);
}

// While it is written, nobody else may write the file (a rewritten prefix
// would pass unseen by the digests); reading it stays possible.
TEST_F(WindowsTransfer, DownloadsIntoAUnicodePathHeldAgainstWriters) {
    ASSERT_TRUE(WriteFileW(folder_ + L"\\setup.bin", Pattern(kInstallerSize)));
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring target = std::wstring(temp) + L"qmx \u5B89\u88C5 setup.exe";
    DeleteFileW(target.c_str());

    g_progress.clear();
    g_target = target;
    g_writersAdmitted = g_readersAdmitted = 0;
    ASSERT_TRUE(DownloadToFile(Url(L"setup.bin"), WideToUtf8(target), &RecordProgress));
    g_target.clear();
    EXPECT_EQ(g_writersAdmitted, 0);
    EXPECT_EQ(g_readersAdmitted, static_cast<int>(g_progress.size()));
    EXPECT_EQ(ReadFileW(target), Pattern(kInstallerSize));
    EXPECT_EQ(ProgressHook, nullptr);
    ASSERT_FALSE(g_progress.empty());
    for (const auto& call : g_progress)
        EXPECT_LE(call.second, call.first);
    EXPECT_EQ(g_progress.back().first, kInstallerSize);
    DeleteFileW(target.c_str());
}

TEST_F(WindowsTransfer, MissingServerFailsQuietly) {
    EXPECT_EQ(FetchDocument(L"http://127.0.0.1:1/customer.xml"), "");
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::string target = WideToUtf8(std::wstring(temp) + L"qmx_unreachable.exe");
    EXPECT_FALSE(DownloadToFile(L"http://127.0.0.1:1/setup.exe", target, &RecordProgress));
    EXPECT_EQ(ProgressHook, nullptr);
}

} // namespace
