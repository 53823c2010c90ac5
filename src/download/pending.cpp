// PLACEHOLDER until the download subsystem lands: delete when implemented.
#include "download/download.h"
#include "support/lock.h"
std::atomic<bool> g_bDownloading{false};
void SetDownloading(bool d) { g_bDownloading = d; }
bool IsDownloading() { return g_bDownloading; }
bool StartDownloadWorker() { return false; }
bool IsCompanionRunning() { return false; }
void OpenInstaller() {}
