// The download road on Windows: the companion-process check against real
// processes, the working folders under APPDATA, the installer launch, the
// lock, and the download worker against the loopback nginx with real child
// windows standing in for the popup's controls.
//
// Run through tools/run-win-unit.sh, which serves QMX_TEST_DOCROOT at
// QMX_SIM_SERVER and names the stand-in program in QMX_TEST_STANDIN.
#include "app/app_win.h"
#include "device/device.h"
#include "download/download.h"
#include "download/md5.h"
#include "i18n/strings.h"
#include "support/file_ex.h"
#include "support/lock.h"
#include "support/text.h"
#include "ui/popup.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr DWORD kStartWaitMs = 15000; // generous: Wine starts processes slowly
constexpr DWORD kPollMs = 20;

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    return (n == 0 || n >= 32768) ? std::wstring() : std::wstring(buffer, n);
}

// Sets an environment variable for the test's length (null removes it).
class EnvOverride {
  public:
    EnvOverride(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t probe[1];
        had_ =
            GetEnvironmentVariableW(name, probe, 1) > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        old_ = Env(name);
        SetEnvironmentVariableW(name, value);
    }
    ~EnvOverride() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

  private:
    std::wstring name_, old_;
    bool had_;
};

// A fresh folder under the temporary folder, removed at the end.
class TempFolder {
  public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ =
            fs::path(base) / (L"qmx-dl-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++s_count));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path Path() const { return path_; }

  private:
    fs::path path_;
    static int s_count;
};
int TempFolder::s_count = 0;

bool IsFolder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadAll(const fs::path& path) {
    std::string bytes;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, n);
        fclose(f);
    }
    return bytes;
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr) << path.string();
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// A started copy of the stand-in program, ended with the test.
class ChildProcess {
  public:
    ChildProcess(const fs::path& exe, const std::wstring& arguments) {
        std::wstring line = L"\"" + exe.wstring() + L"\" " + arguments;
        STARTUPINFOW si;
        ZeroMemory(&si, sizeof si);
        si.cb = sizeof si;
        ZeroMemory(&pi_, sizeof pi_);
        started_ = CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &si, &pi_) != FALSE;
    }
    ~ChildProcess() {
        if (!started_)
            return;
        TerminateProcess(pi_.hProcess, 0);
        WaitForSingleObject(pi_.hProcess, kStartWaitMs);
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }
    bool Started() const { return started_; }
    DWORD Id() const { return pi_.dwProcessId; }

  private:
    PROCESS_INFORMATION pi_;
    bool started_ = false;
};

// Copies the stand-in under `name` into `folder`.
fs::path StandInAs(const fs::path& folder, const std::wstring& name) {
    fs::path target = folder / name;
    std::error_code ec;
    fs::copy_file(fs::path(Env(L"QMX_TEST_STANDIN")), target, fs::copy_options::overwrite_existing,
                  ec);
    return ec ? fs::path() : target;
}

// Waits until the snapshot sees `name` (the process list lags the start).
unsigned long WaitForProcess(const std::wstring& name) {
    for (DWORD waited = 0; waited < kStartWaitMs; waited += kPollMs) {
        if (unsigned long id = FindProcessByName(name))
            return id;
        Sleep(kPollMs);
    }
    return 0;
}

void PumpFor(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

} // namespace

// ---------------------------------------------------------------------------
// Companion processes

class CompanionProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Env(L"QMX_TEST_STANDIN").empty()) << "run through tools/run-win-unit.sh";
        log_ = folder_.Path() / L"standin.log";
        stay_ = std::make_unique<EnvOverride>(L"QMX_STANDIN_STAY_MS", L"60000");
        logEnv_ = std::make_unique<EnvOverride>(L"QMX_STANDIN_LOG", log_.c_str());
    }
    TempFolder folder_;
    fs::path log_;
    std::unique_ptr<EnvOverride> stay_, logEnv_;
};

TEST_F(CompanionProcess, FoundWhateverTheLetterCase) {
    ASSERT_FALSE(IsCompanionRunning()) << "a companion process already runs in this prefix";
    fs::path exe = StandInAs(folder_.Path(), L"ORVANTEER_NET40.EXE");
    ASSERT_FALSE(exe.empty());
    ChildProcess child(exe, L"");
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(WaitForProcess(L"orvanteer_net40.exe"), child.Id());
    EXPECT_EQ(FindProcessByName(L"Orvanteer_Net40.exe"), child.Id());
    EXPECT_TRUE(IsCompanionRunning());
    // Another of the four names is not running.
    EXPECT_EQ(FindProcessByName(L"Orvanteer_Net35.exe"), 0u);
}

TEST_F(CompanionProcess, EveryOneOfTheFourNamesCounts) {
    for (const wchar_t* name :
         {L"ValdryOrvanteer_Net35.exe", L"valdryorvanteer_net40.EXE", L"Orvanteer_Net35.exe"}) {
        fs::path exe = StandInAs(folder_.Path(), name);
        ASSERT_FALSE(exe.empty());
        ChildProcess child(exe, L"");
        ASSERT_TRUE(child.Started());
        ASSERT_NE(WaitForProcess(name), 0u) << exe.string();
        EXPECT_TRUE(IsCompanionRunning()) << exe.string();
    }
}

TEST_F(CompanionProcess, OnlyWholeNamesOfTheFourCount) {
    fs::path app = StandInAs(folder_.Path(), L"orvanteer.exe");
    fs::path longer = StandInAs(folder_.Path(), L"xOrvanteer_Net40.exe");
    ASSERT_FALSE(app.empty());
    ASSERT_FALSE(longer.empty());
    ChildProcess a(app, L""), b(longer, L"");
    ASSERT_TRUE(a.Started() && b.Started());
    // Both run and are visible by their own names...
    ASSERT_EQ(WaitForProcess(L"orvanteer.exe"), a.Id());
    ASSERT_EQ(WaitForProcess(L"XORVANTEER_NET40.EXE"), b.Id());
    // ...but neither is a companion process.
    EXPECT_EQ(FindProcessByName(L"Orvanteer_Net40.exe"), 0u);
    EXPECT_FALSE(IsCompanionRunning());
}

TEST(ProcessLookup, UnknownAndEmptyNamesFindNothing) {
    EXPECT_EQ(FindProcessByName(L"qmx-no-such-process.exe"), 0u);
    EXPECT_EQ(FindProcessByName(L""), 0u);
    // The test program itself is found by its own image name.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(FindProcessByName(fs::path(self).filename().wstring()), GetCurrentProcessId());
}

// ---------------------------------------------------------------------------
// Working folders

TEST(WorkingFolders, CreatedUnderAppData) {
    const std::wstring appdata = Env(L"APPDATA");
    ASSERT_FALSE(appdata.empty());
    std::wstring dir = GetAssistantDir();
    EXPECT_EQ(dir, appdata + L"\\QmxAssistant");
    EXPECT_TRUE(IsFolder(dir));
    std::wstring installer = GetInstallerPath();
    EXPECT_EQ(installer, appdata + L"\\QmxAssistant\\Temp\\setup.exe");
    EXPECT_TRUE(IsFolder(appdata + L"\\QmxAssistant\\Temp"));
    // Existing folders: the same answer, nothing else changes.
    EXPECT_EQ(GetInstallerPath(), installer);
    EXPECT_EQ(GetAssistantDir(), dir);
}

TEST(WorkingFolders, MissingLevelsAreCreatedAndRecreated) {
    TempFolder root;
    std::wstring appdata = (root.Path() / L"Roaming" / L"deeper").wstring();
    EnvOverride env(L"APPDATA", appdata.c_str());
    std::wstring installer = GetInstallerPath();
    EXPECT_EQ(installer, appdata + L"\\QmxAssistant\\Temp\\setup.exe");
    EXPECT_TRUE(IsFolder(appdata + L"\\QmxAssistant\\Temp"));
    // Removed in the meantime: the next call makes them again.
    fs::remove_all(root.Path() / L"Roaming");
    EXPECT_EQ(GetInstallerPath(), installer);
    EXPECT_TRUE(IsFolder(appdata + L"\\QmxAssistant\\Temp"));
}

TEST(WorkingFolders, UnusableAppDataGivesAPathThatCannotBeUsed) {
    TempFolder cwd;
    wchar_t oldCwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldCwd);
    SetCurrentDirectoryW(cwd.Path().c_str());
    for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L"relative\\roaming"}) {
        EnvOverride env(L"APPDATA", value);
        EXPECT_EQ(GetAssistantDir(), L"");
        EXPECT_EQ(GetInstallerPath(), L"");
    }
    std::wstring tooLong = L"C:\\" + std::wstring(300, L'a');
    {
        EnvOverride env(L"APPDATA", tooLong.c_str());
        EXPECT_EQ(GetInstallerPath(), L"");
    }
    SetCurrentDirectoryW(oldCwd);
    // Nothing was created in the current folder.
    EXPECT_TRUE(fs::is_empty(cwd.Path()));
    // And a transfer or digest on that path fails cleanly.
    EXPECT_EQ(GetFileMD5(""), "");
}

// ---------------------------------------------------------------------------
// The file class on Windows

TEST(FileClassWin, StreamIsClosedWhenTheObjectGoes) {
    TempFolder folder;
    const fs::path path = folder.Path() / L"held.bin";
    WriteAll(path, "held");
    {
        CFileEx file;
        ASSERT_TRUE(file.Open(WideToUtf8(path.wstring()), "rb"));
        // An open stream keeps the file from being deleted...
        EXPECT_FALSE(DeleteFileW(path.c_str()));
    }
    // ...and leaving the scope closed it.
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

// ---------------------------------------------------------------------------
// A stand-in for the popup: a top-level window with the worker's controls.

class PopupStandIn {
  public:
    PopupStandIn() {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        hwnd_ = CreateWindowExW(0, L"STATIC", L"qmx-test", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        for (int id : {IDC_OFFER_TEXT, IDC_SUCCESS_TEXT, IDC_FAILURE_TEXT, IDC_PROGRESS_TEXT,
                       IDC_DOWNLOAD, IDC_LATER, IDC_OPEN, IDC_NEVER_ASK}) {
            CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 50, 20, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
        }
        bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 100, 20, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)),
                               GetModuleHandleW(nullptr), nullptr);
        SendMessageW(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        g_hWndPopup = hwnd_;
        g_hProgressBar = bar_;
    }
    ~PopupStandIn() {
        g_hWndPopup = nullptr;
        g_hProgressBar = nullptr;
        DestroyWindow(hwnd_);
    }
    HWND Window() const { return hwnd_; }
    bool Shown(int id) const { return IsWindowVisible(GetDlgItem(hwnd_, id)) != FALSE; }
    int BarPos() const { return static_cast<int>(SendMessageW(bar_, PBM_GETPOS, 0, 0)); }
    std::wstring ProgressText() const {
        wchar_t text[256] = {0};
        GetWindowTextW(GetDlgItem(hwnd_, IDC_PROGRESS_TEXT), text, 256);
        return text;
    }
    // Exactly the controls of the completed or the failed state are shown.
    void ExpectCompleted() const {
        EXPECT_TRUE(Shown(IDC_SUCCESS_TEXT));
        EXPECT_TRUE(Shown(IDC_OPEN));
        EXPECT_TRUE(Shown(IDC_LATER));
        EXPECT_FALSE(Shown(IDC_FAILURE_TEXT));
        EXPECT_FALSE(Shown(IDC_DOWNLOAD));
        EXPECT_FALSE(Shown(IDC_PROGRESS_TEXT));
        EXPECT_FALSE(Shown(IDC_PROGRESS_BAR));
    }
    void ExpectFailed() const {
        EXPECT_TRUE(Shown(IDC_FAILURE_TEXT));
        EXPECT_TRUE(Shown(IDC_DOWNLOAD));
        EXPECT_TRUE(Shown(IDC_LATER));
        EXPECT_FALSE(Shown(IDC_SUCCESS_TEXT));
        EXPECT_FALSE(Shown(IDC_OPEN));
        EXPECT_FALSE(Shown(IDC_PROGRESS_TEXT));
        EXPECT_FALSE(Shown(IDC_PROGRESS_BAR));
    }

  private:
    HWND hwnd_ = nullptr;
    HWND bar_ = nullptr;
};

// ---------------------------------------------------------------------------
// Opening the installer

class OpenInstallerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Env(L"QMX_TEST_STANDIN").empty()) << "run through tools/run-win-unit.sh";
        appdata_ = (root_.Path() / L"Roaming").wstring();
        log_ = root_.Path() / L"installer.log";
        env_ = std::make_unique<EnvOverride>(L"APPDATA", appdata_.c_str());
        logEnv_ = std::make_unique<EnvOverride>(L"QMX_STANDIN_LOG", log_.c_str());
    }
    std::string WaitForLog() {
        for (DWORD waited = 0; waited < kStartWaitMs; waited += kPollMs) {
            std::string text = ReadAll(log_);
            if (!text.empty())
                return text;
            Sleep(kPollMs);
        }
        return std::string();
    }
    TempFolder root_;
    std::wstring appdata_;
    fs::path log_;
    std::unique_ptr<EnvOverride> env_, logEnv_;
};

TEST_F(OpenInstallerTest, StartsTheInstallerWithItsSwitchAndHidesThePopup) {
    std::wstring installer = GetInstallerPath();
    ASSERT_FALSE(installer.empty());
    fs::copy_file(fs::path(Env(L"QMX_TEST_STANDIN")), installer);
    g_strMD5 = GetFileMD5(WideToUtf8(installer));
    PopupStandIn popup;
    SetPopupState(PopupCompleted);
    ASSERT_TRUE(IsWindowVisible(popup.Window()));
    OpenInstaller();
    EXPECT_FALSE(IsWindowVisible(popup.Window()));
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(popup.Window(), IDC_OPEN), GWL_STYLE) & WS_VISIBLE)
        << "the completed state is left";
    std::string line = WaitForLog();
    EXPECT_NE(line.find("-qmx_normal"), std::string::npos) << line;
    EXPECT_NE(line.find("setup.exe"), std::string::npos) << line;
    g_strMD5.clear();
}

TEST_F(OpenInstallerTest, MissingInstallerShowsTheFailedState) {
    PopupStandIn popup;
    SetPopupState(PopupCompleted);
    OpenInstaller();
    EXPECT_TRUE(IsWindowVisible(popup.Window()));
    popup.ExpectFailed();
    // The folders were made again on the way.
    EXPECT_TRUE(IsFolder(appdata_ + L"\\QmxAssistant\\Temp"));
    PumpFor(200);
    EXPECT_TRUE(ReadAll(log_).empty());
}

// ---------------------------------------------------------------------------
// The lock and the download-active flag

TEST(DownloadFlag, SeenAcrossThreads) {
    SetDownloading(false);
    std::thread([] { SetDownloading(true); }).join();
    EXPECT_TRUE(IsDownloading());
    SetDownloading(false);
    bool seen = true;
    std::thread([&seen] { seen = IsDownloading(); }).join();
    EXPECT_FALSE(seen);
}

TEST(DownloadFlag, LockIsTheNamedMutex) {
    HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, L"MyMutexLock_qmx");
    EXPECT_NE(h, nullptr);
    if (h)
        CloseHandle(h);
}

TEST(DownloadFlag, AccessGoesOnWhenTheLockIsHeldElsewhere) {
    // Another thread owns the mutex and never lets go while we look: the
    // access must still end (after the lock's wait) with the right value.
    SetDownloading(true);
    std::atomic<bool> owned{false}, release{false};
    std::thread holder([&] {
        HANDLE h = CreateMutexW(nullptr, FALSE, L"MyMutexLock_qmx");
        WaitForSingleObject(h, INFINITE);
        owned = true;
        while (!release)
            Sleep(kPollMs);
        ReleaseMutex(h);
        CloseHandle(h);
    });
    while (!owned)
        Sleep(kPollMs);
    DWORD start = GetTickCount();
    EXPECT_TRUE(IsDownloading());
    SetDownloading(false);
    EXPECT_FALSE(IsDownloading());
    EXPECT_LT(GetTickCount() - start, 30000u); // ended at all
    release = true;
    holder.join();
    // The lock works normally again afterwards.
    SetDownloading(true);
    EXPECT_TRUE(IsDownloading());
    SetDownloading(false);
}

// ---------------------------------------------------------------------------
// The worker against the loopback server

class Worker : public ::testing::Test {
  protected:
    void SetUp() override {
        server_ = WideToUtf8(Env(L"QMX_SIM_SERVER"));
        docroot_ = fs::path(Env(L"QMX_TEST_DOCROOT"));
        ASSERT_FALSE(server_.empty()) << "run through tools/run-win-unit.sh";
        ASSERT_FALSE(docroot_.empty());
        appdata_ = (root_.Path() / L"Roaming").wstring();
        env_ = std::make_unique<EnvOverride>(L"APPDATA", appdata_.c_str());
        installerPath_ = fs::path(appdata_ + L"\\QmxAssistant\\Temp\\setup.exe");
        g_strVerson.clear();
        g_strDownLoad.clear();
        g_strMD5.clear();
        SetDownloading(false);
        // 300 KiB of varied bytes: more than 10000, so the bar ends at 100.
        installer_.resize(300 * 1024);
        for (size_t i = 0; i < installer_.size(); ++i)
            installer_[i] = static_cast<char>((i * 131 + (i >> 9)) & 0xff);
        Md5 md5;
        md5.Update(installer_.data(), installer_.size());
        unsigned char digest[16];
        md5.Final(digest);
        digest_ = Md5::ToHex(digest);
    }
    void TearDown() override { SetStoredUrlDirectory(""); }

    static std::string Description(const std::string& verson, const std::string& download,
                                   const std::string& md5) {
        std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Option>\n";
        if (!verson.empty())
            xml += "  <Verson>" + verson + "</Verson>\n";
        if (!download.empty())
            xml += "  <DownLoad>" + download + "</DownLoad>\n";
        if (!md5.empty())
            xml += "  <MD5>" + md5 + "</MD5>\n";
        return xml + "</Option>\n";
    }
    void Serve(const std::string& relative, const std::string& bytes) {
        WriteAll(docroot_ / fs::u8path(relative), bytes);
    }
    std::string Url(const std::string& relative) const { return server_ + "/" + relative; }

    TempFolder root_;
    std::unique_ptr<EnvOverride> env_;
    std::string server_;
    fs::path docroot_;
    std::wstring appdata_;
    fs::path installerPath_;
    std::string installer_;
    std::string digest_;
};

TEST_F(Worker, VerifiedDownloadEndsCompleted) {
    Serve("w1/setup.bin", installer_);
    Serve("w1/orvanteer.xml", Description("2.1.0", Url("w1/setup.bin"), digest_));
    SetStoredUrlDirectory(server_ + "/w1/");
    PopupStandIn popup;
    EXPECT_EQ(DownloadWorker(nullptr), 0u);
    popup.ExpectCompleted();
    EXPECT_EQ(ReadAll(installerPath_), installer_);
    EXPECT_EQ(g_strVerson, "2.1.0");
    EXPECT_EQ(g_strMD5, digest_);
    EXPECT_EQ(g_nLastPercent, 100u);
    EXPECT_EQ(popup.BarPos(), 100);
    EXPECT_EQ(popup.ProgressText(), GetString(L"IDS_DOWNLOAD_PROGRESS") + L" 100%");
    EXPECT_FALSE(IsDownloading());
    EXPECT_FALSE(IsDownloadWorkerRunning());
}

TEST_F(Worker, HttpsAddressesAreFetchedOverPlainHttp) {
    std::string https = server_;
    https.replace(0, 5, "https:");
    Serve("w2/setup.bin", installer_);
    Serve("w2/orvanteer.xml", Description("1", "https:" + Url("w2/setup.bin").substr(5), digest_));
    SetStoredUrlDirectory(https + "/w2/");
    PopupStandIn popup;
    DownloadWorker(nullptr);
    popup.ExpectCompleted();
}

TEST_F(Worker, UpperCaseDigestFailsAndKeepsTheFile) {
    std::string upper = digest_;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(upper, digest_);
    Serve("w3/setup.bin", installer_);
    Serve("w3/orvanteer.xml", Description("1", Url("w3/setup.bin"), upper));
    SetStoredUrlDirectory(server_ + "/w3/");
    PopupStandIn popup;
    DownloadWorker(nullptr);
    popup.ExpectFailed();
    EXPECT_EQ(ReadAll(installerPath_), installer_);
}

TEST_F(Worker, MissingDigestUsesTheEarlierOne) {
    Serve("w4/setup.bin", installer_);
    Serve("w4/other.bin", installer_ + "x");
    Serve("w4/orvanteer.xml", Description("1", Url("w4/setup.bin"), digest_));
    SetStoredUrlDirectory(server_ + "/w4/");
    PopupStandIn popup;
    DownloadWorker(nullptr);
    popup.ExpectCompleted();
    // Second run: no MD5 element; the first run's digest still applies.
    Serve("w4/orvanteer.xml", Description("2", Url("w4/setup.bin"), ""));
    SetPopupState(PopupDownloading);
    DownloadWorker(nullptr);
    popup.ExpectCompleted();
    EXPECT_EQ(g_strVerson, "2");
    // Third run: a different file is checked against that same digest.
    Serve("w4/orvanteer.xml", Description("3", Url("w4/other.bin"), ""));
    SetPopupState(PopupDownloading);
    DownloadWorker(nullptr);
    popup.ExpectFailed();
    EXPECT_EQ(ReadAll(installerPath_).size(), installer_.size() + 1);
}

TEST_F(Worker, DirectoryWithoutSlashGluesTheFileName) {
    Serve("w5/setup.bin", installer_);
    Serve("w5/orvanteer.xml", Description("1", Url("w5/setup.bin"), digest_));
    SetStoredUrlDirectory(server_ + "/w5");
    PopupStandIn popup;
    DownloadWorker(nullptr);
    popup.ExpectFailed(); // "/w5orvanteer.xml" does not exist
    EXPECT_FALSE(fs::exists(installerPath_));
    // Served under the glued name, the same directory value works.
    Serve("w5orvanteer.xml", Description("1", Url("w5/setup.bin"), digest_));
    SetPopupState(PopupDownloading);
    DownloadWorker(nullptr);
    popup.ExpectCompleted();
}

TEST_F(Worker, IncompleteDescriptionDownloadsNothing) {
    Serve("w6/setup.bin", installer_);
    SetStoredUrlDirectory(server_ + "/w6/");
    PopupStandIn popup;
    for (const std::string& doc :
         {Description("", Url("w6/setup.bin"), digest_), Description("1", "", digest_),
          Description("1", Url("w6/setup.bin"), ""),
          std::string("<Option><Verson>1</Verson><DownLoad>") + Url("w6/setup.bin") +
              "</DownLoad><MD5/></Option>",
          std::string("not xml at all")}) {
        g_strVerson.clear();
        g_strDownLoad.clear();
        g_strMD5.clear();
        Serve("w6/orvanteer.xml", doc);
        SetPopupState(PopupDownloading);
        DownloadWorker(nullptr);
        popup.ExpectFailed();
        EXPECT_FALSE(fs::exists(installerPath_)) << doc;
    }
}

TEST_F(Worker, UnreachableDescriptionFails) {
    SetStoredUrlDirectory(server_ + "/no-such-folder/");
    PopupStandIn popup;
    DownloadWorker(nullptr);
    popup.ExpectFailed();
    EXPECT_FALSE(fs::exists(installerPath_));
}

TEST_F(Worker, FailedTransferFails) {
    // A refused connection (nothing listens on port 9 of the loopback).
    Serve("w7/orvanteer.xml", Description("1", "http://127.0.0.1:9/setup.bin", digest_));
    SetStoredUrlDirectory(server_ + "/w7/");
    PopupStandIn popup;
    DownloadWorker(nullptr);
    popup.ExpectFailed();
    EXPECT_FALSE(IsDownloading());
    // A 404 error page is a completed transfer whose digest cannot match.
    Serve("w7/orvanteer.xml", Description("1", Url("w7/missing.bin"), digest_));
    SetPopupState(PopupDownloading);
    DownloadWorker(nullptr);
    popup.ExpectFailed();
}

TEST_F(Worker, ProgressShownOnlyWhileDownloading) {
    PopupStandIn popup;
    g_nLastPercent = 0;
    SetDownloading(true);
    OnDownloadProgress(10000, 5000);
    EXPECT_EQ(popup.BarPos(), 50);
    EXPECT_EQ(popup.ProgressText(), GetString(L"IDS_DOWNLOAD_PROGRESS") + L" 50%");
    EXPECT_TRUE(popup.Shown(IDC_PROGRESS_TEXT));
    OnDownloadProgress(0, 0); // no total: nothing changes
    EXPECT_EQ(popup.BarPos(), 50);
    OnDownloadProgress(199, 199);
    EXPECT_EQ(popup.ProgressText(), GetString(L"IDS_DOWNLOAD_PROGRESS") + L" 199%");
    OnDownloadProgress(42, 42);
    EXPECT_EQ(popup.ProgressText(), GetString(L"IDS_DOWNLOAD_PROGRESS") + L" 100%");
    // Never ask cleared the flag: the window no longer changes.
    SetDownloading(false);
    OnDownloadProgress(10000, 2500);
    EXPECT_EQ(popup.BarPos(), 100);
    EXPECT_EQ(popup.ProgressText(), GetString(L"IDS_DOWNLOAD_PROGRESS") + L" 100%");
}

// A server that accepts the connection and says nothing until told to go.
class SilentServer {
  public:
    SilentServer() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listener_, 4);
        int len = sizeof addr;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~SilentServer() {
        Close();
        WSACleanup();
    }
    int Port() const { return port_; }
    // Ends the listener and any waiting connection: the client's request fails.
    void Close() {
        if (listener_ == INVALID_SOCKET)
            return;
        u_long nonBlocking = 1;
        ioctlsocket(listener_, FIONBIO, &nonBlocking);
        for (;;) {
            SOCKET s = accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET)
                break;
            closesocket(s);
        }
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }

  private:
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
};

TEST_F(Worker, SecondStartIsRefusedWhileAWorkerRuns) {
    SilentServer silent;
    SetStoredUrlDirectory("http://127.0.0.1:" + std::to_string(silent.Port()) + "/");
    PopupStandIn popup;
    SetPopupState(PopupDownloading);
    ASSERT_TRUE(StartDownloadWorker());
    EXPECT_TRUE(IsDownloadWorkerRunning());
    PumpFor(300);
    EXPECT_FALSE(StartDownloadWorker());
    EXPECT_TRUE(IsDownloadWorkerRunning());
    silent.Close();
    // The worker's document fetch fails; it applies the failed state through
    // this thread's windows, so keep their messages flowing while waiting.
    for (DWORD waited = 0; IsDownloadWorkerRunning() && waited < kStartWaitMs; waited += kPollMs)
        PumpFor(kPollMs);
    ASSERT_FALSE(IsDownloadWorkerRunning());
    PumpFor(100);
    popup.ExpectFailed();
    // Once it ended, Download starts a worker again.
    SetPopupState(PopupDownloading);
    ASSERT_TRUE(StartDownloadWorker());
    for (DWORD waited = 0; IsDownloadWorkerRunning() && waited < kStartWaitMs; waited += kPollMs)
        PumpFor(kPollMs);
    EXPECT_FALSE(IsDownloadWorkerRunning());
}
