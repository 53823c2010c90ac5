// The two HTTP transfers against real loopback servers: nginx serving the
// documents and files as a customer hosts them, and tools/fault_server.py for
// the transport faults a static server cannot produce (error pages,
// redirects, missing lengths, cut transfers, odd and slow bodies).
#include "net/document.h"
#include "net/installer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

const int kNginxPort = 18110;
const int kFaultPort = 18111;
const int kClosedPort = 18112; // nothing listens here
const size_t kDocumentLimit = 511999;
const size_t kInstallerSize = 300000;

const std::string kSourceDir = QMX_SOURCE_DIR;
const std::string kWorkDir = QMX_HOST_TEST_WORK;
const std::string kDocRoot = kWorkDir + "/docroot";
const std::string kNginxRun = kWorkDir + "/nginx";
const std::string kDownloads = kWorkDir + "/downloads";

const char kCustomerSettingPath[] = "/downloads/orvanteer/windows/customersetting.xml";
const char kCustomerSetting[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<Items>\n  <Item><CustomerID>7</CustomerID></Item>\n</Items>\n";

std::string Pattern(size_t count) {
    std::string text(count, '\0');
    for (size_t i = 0; i < count; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring NginxUrl(const std::string& path, const char* scheme = "http") {
    return Wide(std::string(scheme) + "://127.0.0.1:" + std::to_string(kNginxPort) + path);
}

std::wstring FaultUrl(const std::string& path, const char* scheme = "http") {
    return Wide(std::string(scheme) + "://127.0.0.1:" + std::to_string(kFaultPort) + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

int Run(const std::string& command) {
    return std::system(command.c_str());
}

// Starts nginx over a fresh document folder and the fault server; stops both
// at the end of the run.
class LoopbackServers : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_EQ(Run("rm -rf '" + kWorkDir + "' && mkdir -p '" + kDocRoot +
                      "/downloads/orvanteer/windows' '" + kDocRoot + "/files' '" + kDownloads +
                      "'"),
                  0);
        WriteFile(kDocRoot + kCustomerSettingPath, kCustomerSetting);
        WriteFile(kDocRoot + "/files/installer.bin", Pattern(kInstallerSize));
        ASSERT_EQ(Run("'" + kSourceDir + "/tools/serve-nginx.sh' start '" + kDocRoot + "' " +
                      std::to_string(kNginxPort) + " '" + kNginxRun + "'"),
                  0);
        StartFaultServer();
    }

    void TearDown() override {
        Run("'" + kSourceDir + "/tools/serve-nginx.sh' stop '" + kNginxRun + "'");
        if (m_faultPid > 0) {
            kill(m_faultPid, SIGTERM);
            waitpid(m_faultPid, nullptr, 0);
        }
    }

  private:
    void StartFaultServer() {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        m_faultPid = fork();
        ASSERT_GE(m_faultPid, 0);
        if (m_faultPid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            const std::string script = kSourceDir + "/tools/fault_server.py";
            const std::string port = std::to_string(kFaultPort);
            execlp("python3", "python3", script.c_str(), port.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        FILE* stream = fdopen(out[0], "r");
        char line[64] = {};
        const bool ready = std::fgets(line, sizeof line, stream) != nullptr &&
                           std::string(line).rfind("ready", 0) == 0;
        std::fclose(stream);
        ASSERT_TRUE(ready) << "fault server did not start on port " << kFaultPort;
    }

    pid_t m_faultPid = -1;
};

// The last line of nginx's access log ("METHOD URI PROTOCOL STATUS "TYPE" BYTES").
std::string LastAccessLine() {
    std::istringstream log(ReadFile(kNginxRun + "/access.log"));
    std::string line, last;
    while (std::getline(log, line))
        if (!line.empty())
            last = line;
    return last;
}

// nginx logs a request after answering it, so the line may lag the answer a
// little: waits (generously bounded) for the last line to name `uri`.
std::string AccessLineFor(const std::string& uri) {
    std::string line;
    for (int attempt = 0; attempt < 200; ++attempt) {
        line = LastAccessLine();
        if (line.find(" " + uri + " ") != std::string::npos)
            break;
        usleep(10000);
    }
    return line;
}

// ---- documents ------------------------------------------------------------

TEST(FetchDocument, PostsWithTheDocumentHeaderAndReturnsTheDocument) {
    EXPECT_EQ(FetchDocument(NginxUrl(kCustomerSettingPath)), kCustomerSetting);
    const std::string expected =
        std::string("POST ") + kCustomerSettingPath + " HTTP/1.1 200 \"text/xml; charset=utf-8\" ";
    const std::string line = AccessLineFor(kCustomerSettingPath);
    EXPECT_EQ(line.rfind(expected, 0), 0u) << line;
}

TEST(FetchDocument, HttpsAddressIsFetchedOverPlainHttp) {
    EXPECT_EQ(FetchDocument(NginxUrl(kCustomerSettingPath, "https")), kCustomerSetting);
}

TEST(FetchDocument, EverySchemeInTheAddressIsRewritten) {
    const std::string echo = FetchDocument(FaultUrl("/echo?next=https://h/https:", "https"));
    EXPECT_EQ(echo.rfind("POST /echo?next=http://h/http: HTTP/1.1\n", 0), 0u) << echo;
}

TEST(FetchDocument, RequestCarriesOneHeaderNoAgentAndNoBody) {
    // Whatever the process's standard input holds must not become the body.
    const std::string input = kWorkDir + "/stdin.txt";
    WriteFile(input, "SECRET-FROM-STDIN");
    ASSERT_NE(std::freopen(input.c_str(), "r", stdin), nullptr);
    const std::string echo = FetchDocument(FaultUrl("/echo"));
    std::freopen("/dev/null", "r", stdin);

    EXPECT_NE(echo.find("\nContent-Type: text/xml; charset=utf-8\n"), std::string::npos) << echo;
    EXPECT_EQ(echo.find("User-Agent"), std::string::npos) << echo;
    EXPECT_NE(echo.find("\nbody-bytes: 0\n"), std::string::npos) << echo;
}

TEST(FetchDocument, ErrorPageIsNoDocument) {
    EXPECT_EQ(FetchDocument(FaultUrl("/status404")), "");
    EXPECT_EQ(FetchDocument(NginxUrl("/downloads/missing.xml")), "");
}

TEST(FetchDocument, RedirectIsNotFollowedAndIsNoDocument) {
    EXPECT_EQ(FetchDocument(FaultUrl("/redirect?to=/target.xml")), "");
    EXPECT_EQ(FetchDocument(FaultUrl("/loop")), "");
}

TEST(FetchDocument, BodyIsCutAtItsFirstNul) {
    EXPECT_EQ(FetchDocument(FaultUrl("/nul-first")), "");
}

TEST(FetchDocument, LongBodyIsCutToTheBufferNeverBeyond) {
    EXPECT_EQ(FetchDocument(FaultUrl("/big?bytes=600000")), Pattern(kDocumentLimit));
    EXPECT_EQ(FetchDocument(FaultUrl("/big?bytes=512000")), Pattern(kDocumentLimit));
    EXPECT_EQ(FetchDocument(FaultUrl("/big?bytes=511999")), Pattern(kDocumentLimit));
    EXPECT_EQ(FetchDocument(FaultUrl("/big?bytes=511998")), Pattern(kDocumentLimit - 1));
}

TEST(FetchDocument, BodyThatNeverEndsIsCutAtTheLimit) {
    EXPECT_EQ(FetchDocument(FaultUrl("/endless")), Pattern(kDocumentLimit));
}

TEST(FetchDocument, SlowAnswerIsWaitedFor) {
    // Beyond three seconds: the time-outs are counted in seconds.
    EXPECT_EQ(FetchDocument(FaultUrl("/slow?seconds=3.5")), "slow");
}

TEST(FetchDocument, FailuresGiveAnEmptyBody) {
    EXPECT_EQ(FetchDocument(Wide("http://127.0.0.1:" + std::to_string(kClosedPort) + "/a.xml")),
              "");
    EXPECT_EQ(FetchDocument(L"not a url"), "");
    EXPECT_EQ(FetchDocument(L""), "");
    // Only HTTP is spoken: a local file or another protocol is never read.
    EXPECT_EQ(FetchDocument(Wide("file://" + kDocRoot + kCustomerSettingPath)), "");
    EXPECT_EQ(FetchDocument(Wide("ftp://127.0.0.1:" + std::to_string(kFaultPort) + "/")), "");
}

// ---- file downloads -------------------------------------------------------

std::vector<std::pair<uint32_t, uint32_t>> g_progress;
bool g_hookWasSet = true;

void RecordProgress(uint32_t total, uint32_t received) {
    g_progress.emplace_back(total, received);
    g_hookWasSet = g_hookWasSet && ProgressHook == &RecordProgress;
}

class DownloadToFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_progress.clear();
        g_hookWasSet = true;
        ProgressHook = nullptr;
        target = kDownloads + "/setup.exe";
        std::remove(target.c_str());
    }

    // Runs a download, capturing what it writes to the error output.
    bool Download(const std::wstring& url) {
        ::testing::internal::CaptureStderr();
        const bool ok = DownloadToFile(url, target, &RecordProgress);
        errors = ::testing::internal::GetCapturedStderr();
        return ok;
    }

    void ExpectProgressWithinTotal() const {
        uint32_t previous = 0;
        for (const auto& call : g_progress) {
            EXPECT_GT(call.first, 0u);
            EXPECT_LE(call.second, call.first);
            EXPECT_GE(call.second, previous);
            previous = call.second;
        }
        EXPECT_TRUE(g_hookWasSet) << "ProgressHook did not hold the relay during the transfer";
    }

    std::string target;
    std::string errors;
};

TEST_F(DownloadToFileTest, DownloadsTheFileAndRelaysProgress) {
    ASSERT_TRUE(Download(NginxUrl("/files/installer.bin", "https")));
    EXPECT_EQ(ReadFile(target), Pattern(kInstallerSize));
    ASSERT_FALSE(g_progress.empty());
    ExpectProgressWithinTotal();
    EXPECT_EQ(g_progress.back(),
              std::make_pair(uint32_t(kInstallerSize), uint32_t(kInstallerSize)));
    EXPECT_EQ(ProgressHook, nullptr);
    EXPECT_EQ(errors, "");
    const std::string line = AccessLineFor("/files/installer.bin");
    EXPECT_EQ(line.rfind("GET /files/installer.bin HTTP/1.1 200", 0), 0u) << line;
}

TEST_F(DownloadToFileTest, RedirectedInstallerIsFollowed) {
    const std::string installer =
        "http://127.0.0.1:" + std::to_string(kNginxPort) + "/files/installer.bin";
    ASSERT_TRUE(Download(FaultUrl("/redirect?to=" + installer, "https")));
    EXPECT_EQ(ReadFile(target), Pattern(kInstallerSize));
    ExpectProgressWithinTotal();
}

TEST_F(DownloadToFileTest, RedirectLoopEndsInFailure) {
    EXPECT_FALSE(Download(FaultUrl("/loop")));
    EXPECT_EQ(errors.rfind("curl_easy_perform() failed: ", 0), 0u) << errors;
    EXPECT_EQ(errors.back(), '\n');
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "one line only";
    EXPECT_EQ(ProgressHook, nullptr);
}

TEST_F(DownloadToFileTest, RedirectToAnotherProtocolIsRefused) {
    const std::string local = "file://" + kDocRoot + kCustomerSettingPath;
    EXPECT_FALSE(Download(FaultUrl("/redirect?to=" + local)));
    EXPECT_EQ(ReadFile(target).find("Items"), std::string::npos);
}

TEST_F(DownloadToFileTest, BodyWithoutLengthCompletesWithoutProgress) {
    ASSERT_TRUE(Download(FaultUrl("/no-length?bytes=150000")));
    EXPECT_EQ(ReadFile(target), Pattern(150000));
    EXPECT_TRUE(g_progress.empty());
    EXPECT_EQ(ProgressHook, nullptr);
}

TEST_F(DownloadToFileTest, TransferCutMidwayFailsAndLeavesThePartialFile) {
    EXPECT_FALSE(Download(FaultUrl("/cut?bytes=200000")));
    const std::string partial = ReadFile(target);
    EXPECT_EQ(partial, Pattern(partial.size()));
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), 200000u);
    ExpectProgressWithinTotal();
    EXPECT_EQ(ProgressHook, nullptr);
    EXPECT_EQ(errors.rfind("curl_easy_perform() failed: ", 0), 0u) << errors;
}

TEST_F(DownloadToFileTest, ErrorPageFailsAndIsNotStored) {
    InstallerTransfer transfer;
    EXPECT_FALSE(DownloadToFile(FaultUrl("/status404"), target, &RecordProgress, transfer));
    EXPECT_EQ(transfer.status, 404);
    EXPECT_EQ(transfer.end, TransferEnd::Refused);
    EXPECT_EQ(ReadFile(target), "");
}

// Collects what the transfer feeds, as the digests see it.
struct CollectingSink : WrittenBytesSink {
    std::string bytes;
    void Restart() override { bytes.clear(); }
    void Feed(const void* data, size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
    }
};

class ResumedDownload : public DownloadToFileTest {
  protected:
    // The validator nginx gives the installer, learnt from a whole transfer.
    std::string LearnValidator() {
        InstallerTransfer whole;
        EXPECT_TRUE(DownloadToFile(NginxUrl("/files/installer.bin"), target, nullptr, whole));
        EXPECT_EQ(whole.fileValidator.front(), '"') << "nginx sends a strong ETag";
        return whole.fileValidator;
    }
    bool Resume(const std::string& kept, const std::string& validator) {
        WriteFile(target, kept);
        g_progress.clear();
        transfer = InstallerTransfer();
        transfer.validator = validator;
        transfer.sink = &sink;
        sink.bytes = "stale";
        return DownloadToFile(NginxUrl("/files/installer.bin"), target, &RecordProgress, transfer);
    }
    InstallerTransfer transfer;
    CollectingSink sink;
};

TEST_F(ResumedDownload, KeptBytesAreContinuedWithARange) {
    const std::string validator = LearnValidator();
    const size_t kept = kInstallerSize * 6 / 10;
    ASSERT_TRUE(Resume(Pattern(kInstallerSize).substr(0, kept), validator));
    EXPECT_EQ(transfer.status, 206);
    EXPECT_TRUE(transfer.appended);
    EXPECT_EQ(transfer.offset, kept);
    EXPECT_EQ(transfer.bodyBytes, kInstallerSize - kept);
    EXPECT_EQ(ReadFile(target), Pattern(kInstallerSize));
    EXPECT_EQ(sink.bytes, Pattern(kInstallerSize)) << "the kept prefix is fed first";
    // Progress counts the whole file, from where the kept bytes end.
    ASSERT_FALSE(g_progress.empty());
    EXPECT_EQ(g_progress.front().first, kInstallerSize);
    EXPECT_GE(g_progress.front().second, kept);
    ExpectProgressWithinTotal();
    EXPECT_EQ(g_progress.back().second, kInstallerSize);
}

TEST_F(ResumedDownload, AnotherValidatorGetsTheWholeFile) {
    LearnValidator();
    ASSERT_TRUE(Resume("0123456789", "\"changed\""));
    EXPECT_EQ(transfer.status, 200);
    EXPECT_FALSE(transfer.appended);
    EXPECT_EQ(ReadFile(target), Pattern(kInstallerSize));
    EXPECT_EQ(sink.bytes, Pattern(kInstallerSize));
}

TEST_F(ResumedDownload, KeptBytesPastTheEndAskForTheWholeFileAgain) {
    const std::string validator = LearnValidator();
    ASSERT_TRUE(Resume(Pattern(kInstallerSize + 10), validator)); // 416, then whole
    EXPECT_EQ(transfer.status, 200);
    EXPECT_FALSE(transfer.appended);
    EXPECT_EQ(ReadFile(target), Pattern(kInstallerSize));
    EXPECT_EQ(sink.bytes, Pattern(kInstallerSize));
}

// One sink serves every try of a run, as the worker's digests do.
TEST_F(ResumedDownload, EveryWriteFromByteZeroRestartsTheSink) {
    InstallerTransfer first;
    first.sink = &sink;
    EXPECT_FALSE(DownloadToFile(FaultUrl("/cut?bytes=1000"), target, nullptr, first));
    EXPECT_EQ(sink.bytes, Pattern(500)) << "a cut body with no validator";
    InstallerTransfer second;
    second.sink = &sink;
    ASSERT_TRUE(DownloadToFile(FaultUrl("/range?first=0&last=999"), target, nullptr, second));
    EXPECT_EQ(second.status, 206);
    EXPECT_EQ(ReadFile(target), Pattern(1000));
    EXPECT_EQ(sink.bytes, Pattern(1000)) << "the digests cover exactly the file";
}

TEST_F(ResumedDownload, RangeShortOfTheFileEndsAsACutToContinue) {
    WriteFile(target, Pattern(500));
    transfer.validator = "\"r1\"";
    transfer.sink = &sink;
    EXPECT_FALSE(DownloadToFile(FaultUrl("/range?first=500&last=699"), target, nullptr, transfer));
    EXPECT_EQ(transfer.end, TransferEnd::NetworkCut);
    EXPECT_EQ(transfer.fileValidator, "\"r1\"") << "the next try continues it";
    EXPECT_EQ(ReadFile(target), Pattern(700));
    EXPECT_EQ(sink.bytes, Pattern(700));
}

TEST_F(ResumedDownload, NothingPastTheRangeIsWritten) {
    WriteFile(target, Pattern(500));
    transfer.validator = "\"r1\"";
    transfer.sink = &sink;
    ASSERT_TRUE(
        DownloadToFile(FaultUrl("/range?first=500&last=999&extra=300"), target, nullptr, transfer));
    EXPECT_EQ(ReadFile(target), Pattern(1000));
    EXPECT_EQ(sink.bytes, Pattern(1000));
}

// The kept bytes came from an answer that announced 1000 bytes; a range
// that names no size and stops at 700 leaves the file unfinished.
TEST_F(ResumedDownload, RangeWithoutSizeShortOfTheFirstTotalIsACut) {
    WriteFile(target, Pattern(500));
    transfer.validator = "\"r1\"";
    transfer.total = 1000;
    EXPECT_FALSE(
        DownloadToFile(FaultUrl("/range?first=500&last=699&star=1"), target, nullptr, transfer));
    EXPECT_EQ(transfer.end, TransferEnd::NetworkCut);
    EXPECT_EQ(transfer.fileTotal, 1000u) << "the next try keeps the first total";
    EXPECT_EQ(ReadFile(target), Pattern(700));
}

TEST_F(DownloadToFileTest, ExistingFileIsReplaced) {
    WriteFile(target, Pattern(kInstallerSize));
    ASSERT_TRUE(Download(FaultUrl("/sized?bytes=10")));
    EXPECT_EQ(ReadFile(target), "abcdefghij");
}

TEST_F(DownloadToFileTest, UnopenableTargetFailsBeforeAnyTransfer) {
    target = kDownloads + "/no/such/folder/setup.exe";
    EXPECT_FALSE(Download(NginxUrl("/files/installer.bin")));
    EXPECT_TRUE(g_progress.empty());
    EXPECT_EQ(ProgressHook, nullptr);
    EXPECT_EQ(errors, "");
    EXPECT_FALSE(Exists(target));
}

TEST_F(DownloadToFileTest, RefusedConnectionFails) {
    EXPECT_FALSE(Download(Wide("http://127.0.0.1:" + std::to_string(kClosedPort) + "/setup.exe")));
    EXPECT_EQ(errors.rfind("curl_easy_perform() failed: ", 0), 0u) << errors;
    EXPECT_TRUE(Exists(target)) << "the target is created before the transfer";
    EXPECT_EQ(ProgressHook, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new LoopbackServers);
    return RUN_ALL_TESTS();
}
