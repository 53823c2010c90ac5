// A fetch of the UI thread on a helper thread, waited for with a bound.
//
// libcurl's limits end a slow server's answer, but not the time a proxy's
// logon spends in SSPI: a Kerberos server that takes the connection and
// never answers holds the transfer as long as it likes. So the UI thread
// never runs the transfer itself. The transfer's thread owns all it touches
// (the address, the body, the event it sets), shared with the waiter by a
// reference count, so whichever of the two ends last frees it; the caller's
// documents are read and written only by the caller, from a body that
// arrived in time. A thread given up on ends whenever its transfer does.
#include "net/document_wait.h"

#include "support/text.h"
#include "support/trace.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

const DocumentLimits kUiFetchLimits = {10, 20};

namespace {

// A fetch that ends within this has nothing answered meanwhile: the window
// procedure is re-entered only while a fetch takes longer.
const DWORD kQuietMs = 2000;

// Fetch threads of this file still running, those given up on included.
std::atomic<int> g_runningFetches{0};

// Whether the popup's thread is inside WaitAnswering (only it waits).
bool s_waiting = false;

class HeldFetch {
  public:
    explicit HeldFetch(const std::wstring& address)
        : url(address), done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~HeldFetch() {
        if (done)
            CloseHandle(done);
    }
    HeldFetch(const HeldFetch&) = delete;
    HeldFetch& operator=(const HeldFetch&) = delete;

    const std::wstring url;
    std::string body; // written before `done` is set, read only after it
    const HANDLE done;
};

void RunFetch(std::shared_ptr<HeldFetch> fetch) {
    // Nothing may leave a thread's function.
    try {
        fetch->body = FetchDocument(fetch->url, kUiFetchLimits);
    } catch (...) {
        fetch->body.clear();
    }
    SetEvent(fetch->done);
    --g_runningFetches;
}

// Waits for `done` at most `boundMs`. After the quiet start, the messages
// that other threads and programs send to this thread's windows are handled
// meanwhile (a "not responding" check's WM_NULL, the session's end, the
// download worker's updates); posted messages stay queued for the message
// loop.
bool WaitAnswering(HANDLE done, DWORD boundMs) {
    const DWORD start = GetTickCount();
    if (WaitForSingleObject(done, std::min(kQuietMs, boundMs)) == WAIT_OBJECT_0)
        return true;
    for (;;) {
        // PM_QS_SENDMESSAGE: sent messages are handled, nothing is removed.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD spent = GetTickCount() - start;
        if (spent >= boundMs)
            return WaitForSingleObject(done, 0) == WAIT_OBJECT_0;
        const DWORD woke =
            MsgWaitForMultipleObjects(1, &done, FALSE, boundMs - spent, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke == WAIT_FAILED)
            return WaitForSingleObject(done, boundMs - spent) == WAIT_OBJECT_0;
    }
}

} // namespace

std::string FetchDocumentAnswering(const std::wstring& url) {
    const std::string address = WideToUtf8(url);
    // Each fetch given up on may hold a thread and a connection for good
    // (a silent Kerberos server): beyond a few, no new one is started.
    if (g_runningFetches.load() >= kMaxUnansweredFetches) {
        TraceLine("document %s: %d earlier fetches still unanswered, not asked", address.c_str(),
                  kMaxUnansweredFetches);
        return std::string();
    }
    std::shared_ptr<HeldFetch> fetch;
    try {
        fetch = std::make_shared<HeldFetch>(url);
        if (!fetch->done)
            return std::string();
        ++g_runningFetches;
        std::thread(RunFetch, fetch).detach();
    } catch (...) {
        if (fetch && fetch->done)
            --g_runningFetches; // the thread did not start
        return std::string();
    }
    s_waiting = true;
    const bool answered = WaitAnswering(fetch->done, kUiFetchWaitMs);
    s_waiting = false;
    if (!answered) {
        TraceLine("document %s: no answer within %u s, the fetch counts as failed", address.c_str(),
                  kUiFetchWaitMs / 1000);
        return std::string();
    }
    return fetch->body;
}

bool FetchWaitUnderway() {
    return s_waiting;
}

void EndProcessIfFetching(unsigned int exitCode) {
    if (g_runningFetches.load() > 0)
        TerminateProcess(GetCurrentProcess(), exitCode);
}
