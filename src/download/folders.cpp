// Path composition of the working folders: the assistant folder under the
// roaming application-data folder, its Temp folder and the installer file.
//
// Kept free of Windows calls so the rules can be checked on every build. An
// unusable APPDATA value gives an empty folder, and an empty folder stays
// empty through the later rules: a relative "\Temp\setup.exe" or
// "QmxAssistant" would otherwise land in the current drive's root or the
// current folder. The empty path then fails every file operation cleanly.
#include "download/download.h"

namespace {

const wchar_t kAssistantFolder[] = L"\\QmxAssistant";
const wchar_t kTempFolder[] = L"\\Temp";
const wchar_t kInstallerName[] = L"\\setup.exe";

bool IsSlash(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "X:\..." or a UNC "\\server\..." path; anything else depends on the
// current drive or folder.
bool IsAbsolutePath(const std::wstring& path) {
    if (path.size() >= 3 &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && IsSlash(path[2]))
        return true;
    return path.size() >= 3 && IsSlash(path[0]) && IsSlash(path[1]) && !IsSlash(path[2]);
}

} // namespace

std::wstring ComposeAssistantDir(const wchar_t* appdata) {
    if (appdata == nullptr)
        return std::wstring();
    // The value and the composed folder must each fit a path buffer with its
    // terminating NUL.
    std::wstring value;
    for (const wchar_t* p = appdata; *p != L'\0'; ++p) {
        if (value.size() + 1 >= kPathBufferChars)
            return std::wstring();
        value.push_back(*p);
    }
    if (!IsAbsolutePath(value))
        return std::wstring();
    std::wstring folder = value + kAssistantFolder;
    if (folder.size() + 1 > kPathBufferChars)
        return std::wstring();
    return folder;
}

std::wstring ComposeTempDir(const std::wstring& assistantDir) {
    if (assistantDir.empty())
        return std::wstring();
    return assistantDir + kTempFolder;
}

std::wstring ComposeInstallerPath(const std::wstring& tempDir) {
    if (tempDir.empty())
        return std::wstring();
    return tempDir + kInstallerName;
}
