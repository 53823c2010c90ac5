// The download worker, the working folders and the launches.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "download/resume.h"

// Values of the last installer description document ("orvanteer.xml"); each
// keeps its earlier value when a later document lacks the key.
extern std::string g_strVerson;
extern std::string g_strDownLoad;
extern std::string g_strMD5;
extern uint32_t g_nLastPercent; // percentage last shown
// What the installer file holds of an unfinished transfer, kept for the
// life of the process (worker thread only).
extern InstallerResume g_installerResume;

// Shown percentage for (total, received): received / (total / 100), not
// clamped, so a total that is not a multiple of 100 can pass 100 near its end.
// Totals of 1 to 99 bytes have no such divisor; they show received * 100 /
// total instead (100 once complete). 0 for a total of 0.
uint32_t DownloadPercent(uint32_t total, uint32_t received);
// The percentage to show for (total, received) when it differs from `last`:
// stores it into `last` and returns true. False, with `last` unchanged, when
// the call would change nothing on the screen (no total, same percentage).
bool NextShownPercent(uint32_t total, uint32_t received, uint32_t& last);
// Progress function put into ProgressHook during the installer transfer.
void OnDownloadProgress(uint32_t total, uint32_t received);
#ifdef _WIN32
// `arg` carries the run's token (see StartDownloadWorker).
unsigned __stdcall DownloadWorker(void* arg);
// Sent by the worker to the popup at the end of a run, with the final popup
// state as wParam and the run's token as lParam; the popup answers
// kDownloadEndTaken when TakeDownloadEnd took it.
constexpr unsigned WM_QMX_DOWNLOAD_ENDED = 0x8000 + 1; // WM_APP + 1
constexpr long kDownloadEndTaken = 1;
// Applies a run's final state and marks the worker as no longer running.
void EndDownloadRun(int state);
// EndDownloadRun for a WM_QMX_DOWNLOAD_ENDED message, only when `token` is
// the running worker's own: any process can send the message, and a forged
// one must not show Completed while the worker still writes.
bool TakeDownloadEnd(unsigned state, intptr_t token);
// Ends the process at once with `exitCode` while a worker runs; returns
// otherwise. For every way out of the program.
void EndProcessIfDownloading(unsigned int exitCode);
#endif
// Starts DownloadWorker on a new thread unless a worker is still running, so
// two transfers never write the installer file at once. Refused (false): the
// running worker goes on and its end applies the completed or failed state
// over whatever the caller showed. Also false, with the failed state applied,
// when no thread can be started.
bool StartDownloadWorker();
// True from a successful StartDownloadWorker until the run's final state has
// been applied.
bool IsDownloadWorkerRunning();

// Fixed path buffers of the folder rules, in wide characters (MAX_PATH).
constexpr size_t kPathBufferChars = 260;

// Assistant folder for an APPDATA value (null when unset); empty when the
// value is unusable: empty, not an absolute path, or too long for the path
// buffer on its own or with "\QmxAssistant" appended.
std::wstring ComposeAssistantDir(const wchar_t* appdata);
// "<assistant>\Temp" and "<temp>\setup.exe"; empty stays empty, so an
// unusable APPDATA never turns into a path relative to the current folder.
std::wstring ComposeTempDir(const std::wstring& assistantDir);
std::wstring ComposeInstallerPath(const std::wstring& tempDir);
// The folders are created on every call; an empty result when APPDATA is
// unusable (nothing is created then, and every later file use fails).
std::wstring GetAssistantDir();
std::wstring GetInstallerPath();

// Process id of the first running process whose image name equals
// `imageName` ignoring case; 0 for none or when the list cannot be read.
unsigned long FindProcessByName(const std::wstring& imageName);
// Whether one of the four companion image names runs.
bool IsCompanionRunning();
// The Open command. The installer is held against writers, checked again
// (signature with the maker's key built in, published MD5 without) and
// started with "-qmx_normal" while still held; then the popup is hidden and
// leaves the completed state. One that is missing or fails the check is not
// started: it is deleted and the failed state offers Download again. A start
// that fails (a declined UAC prompt included) keeps the completed state.
void OpenInstaller();
