// The running-process check that keeps device arrivals quiet while the
// companion application runs, and the launch of the downloaded installer.
// Each check takes a fresh process snapshot. The installer is checked again
// at Open (another program of the user may have replaced it since the
// download) on a handle that keeps writers out until it has been started;
// once started, it is not watched.
#include "download/download.h"

#include "app/app_win.h"
#include "download/md5.h"
#include "download/signature.h"
#include "support/trace.h"
#include "ui/popup.h"

#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>
#include <wchar.h>

#include <string>
#include <vector>

namespace {

// Image names of the companion application, tried in this order.
const wchar_t* const kCompanionImages[] = {
    L"ValdryOrvanteer_Net35.exe",
    L"ValdryOrvanteer_Net40.exe",
    L"Orvanteer_Net40.exe",
    L"Orvanteer_Net35.exe",
};

const wchar_t kInstallerSwitch[] = L"-qmx_normal";
// ShellExecuteW's result is an error code up to this value.
constexpr INT_PTR kShellExecuteErrorMax = 32;
constexpr DWORD kMd5ReadBlock = 64 * 1024;
constexpr size_t kMd5DigestBytes = 16;

// Closes a toolhelp snapshot on every way out.
class SnapshotHandle {
  public:
    explicit SnapshotHandle(HANDLE h) : m_h(h) {}
    SnapshotHandle(const SnapshotHandle&) = delete;
    SnapshotHandle& operator=(const SnapshotHandle&) = delete;
    ~SnapshotHandle() {
        if (Valid())
            CloseHandle(m_h);
    }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE Get() const { return m_h; }

  private:
    HANDLE m_h;
};

// MD5 of the whole file behind `file`, read from its start; empty on a read
// error, which must not pass as a shorter file.
std::string Md5HexOfFile(HANDLE file) {
    LARGE_INTEGER start;
    start.QuadPart = 0;
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return std::string();
    Md5 md5;
    std::vector<unsigned char> block(kMd5ReadBlock);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block.data(), kMd5ReadBlock, &read, nullptr))
            return std::string();
        if (read == 0)
            break;
        md5.Update(block.data(), read);
    }
    unsigned char digest[kMd5DigestBytes];
    md5.Final(digest);
    return Md5::ToHex(digest);
}

// Opens the installer into `file`, held against writers, and checks that it
// is still what the download verified: its signature with the maker's key
// built in, its published MD5 without. One trace line with the verdict.
bool HeldInstallerVerifies(CLockedFile& file, const std::wstring& path) {
    const std::string keyText = SigningKeyText();
    if (!keyText.empty())
        return HoldAndVerifyInstaller(file, path, keyText, "open");
    if (!file.Open(path)) {
        TraceLine("digest at open: the installer cannot be opened");
        return false;
    }
    const bool holds = !g_strMD5.empty() && Md5HexOfFile(file.Handle()) == g_strMD5;
    TraceLine("digest at open: %s the published %s", holds ? "matches" : "differs from",
              g_strMD5.c_str());
    return holds;
}

} // namespace

unsigned long FindProcessByName(const std::wstring& imageName) {
    SnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid())
        return 0;
    PROCESSENTRY32W entry;
    ZeroMemory(&entry, sizeof entry);
    entry.dwSize = sizeof entry;
    if (!Process32FirstW(snapshot.Get(), &entry))
        return 0;
    do {
        if (_wcsicmp(entry.szExeFile, imageName.c_str()) == 0)
            return entry.th32ProcessID;
        entry.dwSize = sizeof entry;
    } while (Process32NextW(snapshot.Get(), &entry));
    return 0;
}

bool IsCompanionRunning() {
    for (const wchar_t* image : kCompanionImages) {
        if (FindProcessByName(image) != 0)
            return true;
    }
    return false;
}

void OpenInstaller() {
    const std::wstring path = GetInstallerPath();
    CLockedFile file;
    if (!HeldInstallerVerifies(file, path)) {
        // What fails the check now is not the file that was downloaded: it
        // goes, so that nothing can start it later, and Download fetches it
        // again. A file nobody could open is left where it is.
        if (file.Handle() != INVALID_HANDLE_VALUE) {
            file.Close();
            TraceLine("open: the installer that failed the check %s",
                      DeleteFileW(path.c_str()) ? "was deleted" : "could not be deleted");
        }
        SetPopupState(PopupFailed);
        return;
    }
    // Started through the path the held handle resolves to, while it is
    // still held, so a junction re-pointed under the working folder after
    // the check cannot start another file.
    const std::wstring held = HeldFilePath(file.Handle());
    if (held.empty()) {
        TraceLine("open: the held installer's path cannot be told");
        SetPopupState(PopupFailed);
        return;
    }
    // ShellExecuteW answers a value above 32 on success; a declined UAC
    // prompt fails with ERROR_CANCELLED. The completed state stays then, so
    // Open can be pressed again.
    const INT_PTR result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", held.c_str(), kInstallerSwitch, nullptr, SW_SHOW));
    if (result <= kShellExecuteErrorMax) {
        TraceLine("open: the installer did not start (error %lu)", GetLastError());
        return;
    }
    TraceLine("open: the installer started");
    ShowWindow(g_hWndPopup, SW_HIDE);
    // This completion has been used: a second press (or the second half of a
    // double click) finds no completed state to open.
    SetPopupState(PopupOffer);
}
