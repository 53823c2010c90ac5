// qmxmsi.dll: the custom action of the assistant's Windows Installer package
// (packaging/QmxAssistant.wxs).
//
// CloseAssistant runs before the installer checks for files in use, on
// install, upgrade and removal alike. A copy of the assistant running in this
// session (its popup window, class "QMX", title "qmx") is ended the way the
// Restart Manager ends a program: WM_QUERYENDSESSION and WM_ENDSESSION with
// ENDSESSION_CLOSEAPP, on which the assistant ends with exit code 0. The exe
// is then free to be replaced or removed, so no reboot is asked for. When a
// copy was ended, the property QmxWasRunning is set to "1" and the package
// starts the new exe again when the install ends. A copy that does not end
// is left alone: the install goes on, and the installer's own handling of a
// file in use applies. The action never fails the install.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

namespace {

constexpr DWORD kAnswerMs = 5000; // each message, for a popup thread that is busy
constexpr DWORD kExitMs = 10000;  // the process's end after the messages

struct ProcessHolder {
    HANDLE handle;
    ~ProcessHolder() {
        if (handle)
            CloseHandle(handle);
    }
};

struct RecordHolder {
    MSIHANDLE handle;
    ~RecordHolder() {
        if (handle)
            MsiCloseHandle(handle);
    }
};

// One line in the installer's log (msiexec /l*v).
void Log(MSIHANDLE install, const wchar_t* text) {
    RecordHolder record{MsiCreateRecord(1)};
    if (!record.handle)
        return;
    MsiRecordSetStringW(record.handle, 0, L"QmxAssistant: [1]");
    MsiRecordSetStringW(record.handle, 1, text);
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.handle);
}

// Ends the copy whose popup is `popup`; true when its process has ended.
bool EndCopy(HWND popup) {
    DWORD pid = 0;
    GetWindowThreadProcessId(popup, &pid);
    ProcessHolder process{pid ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr};
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(popup, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                        kAnswerMs, &answer);
    SendMessageTimeoutW(popup, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                        kAnswerMs, &answer);
    if (!process.handle)
        return !IsWindow(popup);
    return WaitForSingleObject(process.handle, kExitMs) == WAIT_OBJECT_0;
}

} // namespace

extern "C" __declspec(dllexport) UINT __stdcall CloseAssistant(MSIHANDLE install) {
    // One copy runs per session; a second look covers one that was starting.
    bool ended = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        HWND popup = FindWindowW(L"QMX", L"qmx");
        if (!popup)
            break;
        if (!EndCopy(popup)) {
            Log(install, L"a running copy did not end; the installer handles the exe in use");
            return ERROR_SUCCESS;
        }
        ended = true;
    }
    if (ended) {
        Log(install, L"ended the running copy");
        MsiSetPropertyW(install, L"QmxWasRunning", L"1");
    } else {
        Log(install, L"no running copy");
    }
    return ERROR_SUCCESS;
}
