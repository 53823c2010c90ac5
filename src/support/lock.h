// The program's one lock, around the named mutex "MyMutexLock_qmx", and the
// download-active flag it guards.
#pragma once
#include <atomic>

class CMyMutexLock {
  public:
    CMyMutexLock();
    virtual ~CMyMutexLock();
    void Lock();
    void Unlock();

  private:
    void* m_hMutex;
};

extern CMyMutexLock g_MutexLock;
// Atomic as well: a Lock that timed out must still leave the flag consistent.
extern std::atomic<bool> g_bDownloading;

void SetDownloading(bool downloading);
bool IsDownloading();
