// The network's warm-up during start-up's settle wait. The first document
// fetch would otherwise pay, after the wait, for libcurl's global set-up
// (under it Winsock and the SSPI library, which loads every security package
// it knows), for the first read of the proxy settings through WinHTTP and
// for the WinHTTP session of the automatic lookups; here they are done on a
// helper thread while the UI thread sleeps.
//
// Nothing here changes what a transfer decides: the global set-up is the one
// libcurl would make itself on the first handle (CURL_GLOBAL_ALL, its
// default), taken once and kept until the process ends as that one is; the
// proxy settings are read again for every request, so the warm-up's read
// only loads WinHTTP and the registry keys it reads, and the session is the
// one the first lookup would have made. libcurl 7.84 and later guard the
// global set-up with a lock, so a first transfer that starts while the
// helper is still in it waits for it instead of racing it (and the session
// is a function-local static, made once). The thread is detached; the
// process's end ends it.
#include "net/warm_up_win.h"
#include "net/proxy.h"

#include <curl/curl.h>

#include <thread>

static_assert(LIBCURL_VERSION_NUM >= 0x075400, "a thread-safe curl_global_init is needed");

namespace {

void WarmUp() {
    // The reference is never given back: libcurl stays set up for the life
    // of the process, as it does after the first fetch.
    curl_global_init(CURL_GLOBAL_ALL);
    PrepareUserProxy();
}

} // namespace

void StartNetworkWarmUp() {
    try {
        std::thread(WarmUp).detach();
    } catch (...) {
        // No thread: the first transfer sets everything up itself.
    }
}
