// The download worker, the working folders and the launches.
#pragma once
#include <cstdint>
#include <string>

extern std::string g_strVerson;
extern std::string g_strDownLoad;
extern std::string g_strMD5;
extern uint32_t g_nLastPercent;

// Shown percentage for (total, received); see OnDownloadProgress.
uint32_t DownloadPercent(uint32_t total, uint32_t received);
void OnDownloadProgress(uint32_t total, uint32_t received);
#ifdef _WIN32
unsigned __stdcall DownloadWorker(void* arg);
#endif
// Starts a worker unless one is still running; false when refused.
bool StartDownloadWorker();

// Assistant folder for an APPDATA value (null when unset); empty when the
// value is unusable.
std::wstring ComposeAssistantDir(const wchar_t* appdata);
std::wstring GetAssistantDir();
std::wstring GetInstallerPath();

unsigned long FindProcessByName(const std::wstring& imageName);
bool IsCompanionRunning();
// ShellExecuteW "open" of the installer with "-qmx_normal", then hides the popup.
void OpenInstaller();
