// Stand-in for the programs the assistant starts (the companion application,
// the downloaded installer) and for the companion processes it watches for.
// It appends its own command line, as one UTF-8 line, to the file named by
// QMX_STANDIN_LOG, or to "<its own path>.log", and then stays alive for
// QMX_STANDIN_STAY_MS milliseconds (default 0) so tests can see it running.
// With QMX_STANDIN_MESSAGE set (the demo), it also shows its command line in
// a message box, so a person sees how the assistant started it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t logPath[MAX_PATH + 8] = {0};
    DWORD n = GetEnvironmentVariableW(L"QMX_STANDIN_LOG", logPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        GetModuleFileNameW(nullptr, logPath, MAX_PATH);
        wcscat(logPath, L".log");
    }
    const wchar_t* line = GetCommandLineW();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1)
        WideCharToMultiByte(CP_UTF8, 0, line, -1, &utf8[0], bytes, nullptr, nullptr);
    if (FILE* f = _wfopen(logPath, L"ab")) {
        fprintf(f, "%s\n", utf8.c_str());
        fclose(f);
    }
    if (GetEnvironmentVariableW(L"QMX_STANDIN_MESSAGE", nullptr, 0) > 0) {
        std::wstring text = L"Demo installer started as:\n";
        text += line;
        MessageBoxW(nullptr, text.c_str(), L"QmxAssistant demo installer", MB_OK);
    }
    wchar_t stay[32] = {0};
    if (GetEnvironmentVariableW(L"QMX_STANDIN_STAY_MS", stay, 31) > 0)
        Sleep(static_cast<DWORD>(wcstoul(stay, nullptr, 10)));
    return 0;
}
