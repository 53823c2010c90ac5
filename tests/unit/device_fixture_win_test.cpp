// The rig behind the decision, scan and arrival tests (see
// device_fixture_win.h).
#include "device_fixture_win.h"

#include "support/text.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>

namespace devtest {

const int kOfferShown[] = {19002, 20001, 20004, 20002};
const int kOfferHidden[] = {19005, 20005, 19003, 20003, 19004};

namespace {

const wchar_t kPopupClass[] = L"QmxDeviceTestPopup";
const int kLabelIds[] = {19001, 19002, 19003, 19004, 19005};
const int kButtonIds[] = {20000, 20001, 20002, 20003, 20004, 20005};
const DWORD kLogWaitMs = 20000;

void RegisterPopupClass() {
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kPopupClass;
    RegisterClassW(&wc);
    registered = true;
}

class Snapshot {
  public:
    Snapshot() : handle_(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)) {}
    ~Snapshot() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

} // namespace

std::wstring Env(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

std::wstring ProgramFilesX86() {
    WCHAR folder[MAX_PATH] = {0};
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILESX86, FALSE);
    return folder;
}

bool WriteTextFile(const std::wstring& path, const std::string& bytes) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos)
        SHCreateDirectoryExW(nullptr, path.substr(0, slash).c_str(), nullptr);
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    fclose(file);
    return ok;
}

std::string ReadTextFile(const std::wstring& path) {
    std::string text;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char chunk[1024];
        size_t got;
        while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0)
            text.append(chunk, got);
        fclose(file);
    }
    return text;
}

std::string UsbPath(size_t tableIndex) {
    return "\\\\?\\hid" + theHidConfig.supportedInterfaces.at(tableIndex) +
           "7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
}

void DeviceFixture::SetUp() {
    docroot_ = Env(L"QMX_TEST_DOCROOT");
    if (docroot_.empty())
        GTEST_SKIP() << "needs the loopback server of tools/run-win-unit.sh";

    RegisterPopupClass();
    popup_ = CreateWindowExW(0, kPopupClass, L"qmx", WS_POPUP, 0, 0, 500, 300, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, popup_);
    for (int id : kLabelIds)
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, popup_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    for (int id : kButtonIds)
        CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, popup_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SetWindowTextW(GetDlgItem(popup_, 19001), L"table title");
    SetWindowTextW(GetDlgItem(popup_, 19002), L"table offer");

    savedPopup_ = g_hWndPopup;
    savedCustomer_ = theCustomer.values;
    savedCustomers_ = theCustomersetting.customers;
    savedPath_ = g_strFoundDevicePath;
    savedSpotlight_ = g_bSpotlightModel;
    savedOffer_ = g_bOfferShown;
    g_hWndPopup = popup_;
    theCustomer.values.clear();
    SetStoredUrlDirectory("untouched/");
    SimSetDevices({});

    wchar_t temp[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, temp);
    logPath_ = std::wstring(temp) + L"qmx_device_test_standin.log";
    DeleteFileW(logPath_.c_str());
    // Started companions log their command line and stay until TearDown
    // ends them, so a test can tell whether one was started at all.
    SetEnvironmentVariableW(L"QMX_STANDIN_LOG", logPath_.c_str());
    SetEnvironmentVariableW(L"QMX_STANDIN_STAY_MS", L"60000");
    LoadCustomerSettings();
}

void DeviceFixture::TearDown() {
    for (DWORD pid : StartedCompanions()) {
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
    for (auto it = madeFiles_.rbegin(); it != madeFiles_.rend(); ++it)
        DeleteFileW(it->c_str());
    for (auto it = madeDirs_.rbegin(); it != madeDirs_.rend(); ++it)
        RemoveDirectoryW(it->c_str());
    DeleteFileW(logPath_.c_str());
    if (popup_)
        DestroyWindow(popup_);
    if (docroot_.empty())
        return;
    g_hWndPopup = savedPopup_;
    theCustomer.values = savedCustomer_;
    theCustomersetting.customers = savedCustomers_;
    g_strFoundDevicePath = savedPath_;
    g_bSpotlightModel = savedSpotlight_;
    g_bOfferShown = savedOffer_;
    SetStoredUrlDirectory("");
    SimUseFile();
}

void DeviceFixture::LoadCustomerSettings() {
    // Every language pair alike, so the UI language of the prefix is moot.
    auto item = [](int id, const char* simple, const char* spotlight) {
        std::string xml = "<Item><CustomerID>" + std::to_string(id) + "</CustomerID>";
        for (const char* pair : {"Cn", "En", "Kr"})
            xml += std::string("<SimplePopup_") + pair + ">" + simple + "</SimplePopup_" + pair +
                   "><SpotlightPopup_" + pair + ">" + spotlight + "</SpotlightPopup_" + pair + ">";
        return xml + "</Item>";
    };
    const std::string xml = "<Items>" + item(0, "True", "True") + item(7, "True", "True") +
                            item(8, "True", "True") + item(9, "True", "True") +
                            item(5, "True", "False") + item(6, "False", "False") + "</Items>";
    ASSERT_TRUE(theCustomersetting.LoadFromText(xml));
    g_bCustomersettingLoaded = true; // as a successful start-up load leaves it
    ASSERT_EQ(6u, theCustomersetting.customers.size());
}

void DeviceFixture::ServeCustomer(int customer, const std::string& optionChildren) {
    wchar_t folder[64];
    swprintf(folder, 64, L"customer%03d", customer);
    const std::wstring dir =
        docroot_ + L"\\downloads\\orvanteer\\customers\\" + folder + L"\\windows";
    const std::wstring path = dir + L"\\customer.xml";
    ASSERT_TRUE(WriteTextFile(path, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Option>" +
                                        optionChildren + "</Option>\n"));
    madeFiles_.push_back(path);
}

std::string DeviceFixture::FullCustomer(const std::string& urlDirectory,
                                        const std::string& appDirName) {
    std::string xml = "<UrlDirectory>" + urlDirectory + "</UrlDirectory><AppDirName>" + appDirName +
                      "</AppDirName>";
    for (const char* key : {"Chinese", "Korea", "Japanese", "English"})
        xml += std::string("<") + key + "1>" + key + " title</" + key + "1><" + key + "2>" + key +
               " offer</" + key + "2>";
    return xml;
}

bool DeviceFixture::InstallCompanion(const std::wstring& folder) {
    const std::wstring standin = Env(L"QMX_TEST_STANDIN");
    if (standin.empty())
        return false;
    if (SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) == ERROR_SUCCESS)
        madeDirs_.push_back(folder);
    const std::wstring exe = folder + L"\\orvanteer.exe";
    if (!CopyFileW(standin.c_str(), exe.c_str(), FALSE))
        return false;
    madeFiles_.push_back(exe);
    return true;
}

SimDevice DeviceFixture::Remote(size_t tableIndex, int customer) {
    SimDevice remote;
    remote.path = UsbPath(tableIndex);
    remote.reply[7] = static_cast<unsigned char>(customer);
    return remote;
}

void DeviceFixture::Found(const SimDevice& remote, bool spotlight) {
    SimSetDevices({remote});
    g_strFoundDevicePath = remote.path;
    g_bSpotlightModel = spotlight;
}

bool DeviceFixture::Shown(int id) const {
    return (GetWindowLongW(GetDlgItem(popup_, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring DeviceFixture::Text(int id) const {
    wchar_t text[512] = {0};
    GetWindowTextW(GetDlgItem(popup_, id), text, 512);
    return text;
}

void DeviceFixture::SetAntiOfferLayout() {
    for (int id : kOfferShown)
        ShowWindow(GetDlgItem(popup_, id), SW_HIDE);
    for (int id : kOfferHidden)
        ShowWindow(GetDlgItem(popup_, id), SW_SHOW);
}

void DeviceFixture::ExpectOfferLayout() const {
    for (int id : kOfferShown)
        EXPECT_TRUE(Shown(id)) << id;
    for (int id : kOfferHidden)
        EXPECT_FALSE(Shown(id)) << id;
}

void DeviceFixture::ExpectAntiOfferLayout() const {
    for (int id : kOfferShown)
        EXPECT_FALSE(Shown(id)) << id;
    for (int id : kOfferHidden)
        EXPECT_TRUE(Shown(id)) << id;
}

std::vector<DWORD> DeviceFixture::StartedCompanions() const {
    std::vector<DWORD> found;
    Snapshot snapshot;
    if (snapshot.get() == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            _wcsicmp(entry.szExeFile, L"orvanteer.exe") == 0)
            found.push_back(entry.th32ProcessID);
    }
    return found;
}

bool DeviceFixture::WaitForLogLine(const std::string& text) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kLogWaitMs) {
        if (ReadTextFile(logPath_).find(text) != std::string::npos)
            return true;
        Sleep(50);
    }
    return false;
}

} // namespace devtest
