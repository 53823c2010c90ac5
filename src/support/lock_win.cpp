// The program's one lock and the download-active flag it guards.
//
// The lock wraps the named mutex "MyMutexLock_qmx", made during static
// initialisation and kept for the life of the process. It is held only for
// one load or store of the flag, never across a call that could wait, so it
// cannot deadlock. A wait that times out (or a mutex that could not be made)
// lets the access go ahead unowned; the flag is atomic, so such an access is
// still safe between the two threads.
#include "support/lock.h"

#include <windows.h>

namespace {
constexpr DWORD kLockWaitMs = 1000;
const wchar_t kLockMutexName[] = L"MyMutexLock_qmx";
} // namespace

CMyMutexLock g_MutexLock;
std::atomic<bool> g_bDownloading{false};

CMyMutexLock::CMyMutexLock() : m_hMutex(CreateMutexW(nullptr, FALSE, kLockMutexName)) {}

CMyMutexLock::~CMyMutexLock() {
    if (m_hMutex != nullptr)
        CloseHandle(m_hMutex);
}

void CMyMutexLock::Lock() {
    WaitForSingleObject(m_hMutex, kLockWaitMs);
}

void CMyMutexLock::Unlock() {
    ReleaseMutex(m_hMutex);
}

void SetDownloading(bool downloading) {
    g_MutexLock.Lock();
    g_bDownloading.store(downloading);
    g_MutexLock.Unlock();
}

bool IsDownloading() {
    g_MutexLock.Lock();
    bool downloading = g_bDownloading.load();
    g_MutexLock.Unlock();
    return downloading;
}
