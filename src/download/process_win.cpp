// The running-process check that keeps device arrivals quiet while the
// companion application runs, and the launch of the downloaded installer.
// Each check takes a fresh process snapshot; launches are fire-and-forget.
#include "download/download.h"

#include "app/app_win.h"
#include "download/signature.h"
#include "ui/popup.h"

#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>
#include <wchar.h>

namespace {

// Image names of the companion application, tried in this order.
const wchar_t* const kCompanionImages[] = {
    L"ValdryOrvanteer_Net35.exe",
    L"ValdryOrvanteer_Net40.exe",
    L"Orvanteer_Net40.exe",
    L"Orvanteer_Net35.exe",
};

const wchar_t kInstallerSwitch[] = L"-qmx_normal";

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
    std::wstring path = GetInstallerPath();
    // With the maker's key built in, the file is checked again and held
    // against writers until the start has happened; one that no longer
    // verifies is not started. An empty path means APPDATA was unusable:
    // there is no installer to start, and ShellExecuteW must not be handed an
    // empty file name.
    const bool started = StartIfSignatureHolds(path, [](const std::wstring& target) {
        if (!target.empty())
            ShellExecuteW(nullptr, L"open", target.c_str(), kInstallerSwitch, nullptr, SW_SHOW);
    });
    if (!started) {
        SetPopupState(PopupFailed);
        return;
    }
    ShowWindow(g_hWndPopup, SW_HIDE);
}
