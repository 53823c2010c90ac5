// The working folders on disk: the assistant folder under APPDATA, its Temp
// folder and the installer path. Every call creates the folders anew when
// they are missing; creation errors (an existing folder included) are not
// reported, the later file operations are where a missing folder shows up.
#include "download/download.h"

#include <windows.h>

#include <shlobj.h>

namespace {

// GetEnvironmentVariableW into a path buffer: null when unset, empty or too
// long for the buffer (the call then returns the size it would need).
std::wstring ReadAppData() {
    wchar_t buffer[kPathBufferChars] = {0};
    DWORD n = GetEnvironmentVariableW(L"APPDATA", buffer, static_cast<DWORD>(kPathBufferChars));
    if (n == 0 || n >= kPathBufferChars)
        return std::wstring();
    return std::wstring(buffer, n);
}

void CreateFolder(const std::wstring& folder) {
    if (!folder.empty())
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
}

} // namespace

std::wstring GetAssistantDir() {
    std::wstring appdata = ReadAppData();
    std::wstring folder = ComposeAssistantDir(appdata.empty() ? nullptr : appdata.c_str());
    CreateFolder(folder);
    return folder;
}

std::wstring GetInstallerPath() {
    std::wstring temp = ComposeTempDir(GetAssistantDir());
    CreateFolder(temp);
    return ComposeInstallerPath(temp);
}
