// Reading the current user's proxy settings through WinHTTP, once per
// transfer, so that a change in the settings counts from the next fetch on.
//
// A manual proxy comes with its bypass list. With automatic detection or a
// configuration script, WinHttpGetProxyForUrl answers for the address; it may
// look for a WPAD server and download a script, so it runs on a helper thread
// and the transfer waits for it only a bounded time. No answer, in time or at
// all, means the transfer goes direct.
#include "config/proxy.h"

#include "config/text.h"
#include "support/trace.h"

#include <windows.h>

#include <winhttp.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const wchar_t kAgent[] = L"QmxAssistant";
// Whole automatic lookup, detection and script download included.
const auto kAutoProxyBound = std::chrono::milliseconds(5000);
// Each step of the script download (resolve, connect, send, receive).
const int kScriptStepTimeoutMs = 4000;

// The strings WinHTTP hands out belong to the caller and go back with
// GlobalFree.
struct GlobalString {
    LPWSTR text = nullptr;
    ~GlobalString() {
        if (text)
            GlobalFree(text);
    }
    std::string Narrow() const { return text ? WideToUtf8(text) : std::string(); }
};

std::wstring AnsiToWide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

// Shared by the waiting transfer and the helper thread; whoever leaves last
// frees it, so a lookup that outlives its bound ends on its own.
struct AutoProxyLookup {
    std::wstring url;
    std::wstring scriptUrl;
    bool detect = false;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool answered = false;
    bool named = false;
    std::string proxy;
    std::string bypass;
};

void RunAutoProxyLookup(const std::shared_ptr<AutoProxyLookup>& lookup) {
    bool answered = false, named = false;
    std::string proxy, bypass;
    HINTERNET session = WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (session) {
        WinHttpSetTimeouts(session, kScriptStepTimeoutMs, kScriptStepTimeoutMs,
                           kScriptStepTimeoutMs, kScriptStepTimeoutMs);
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        if (!lookup->scriptUrl.empty()) {
            options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = lookup->scriptUrl.c_str();
        }
        if (lookup->detect) {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags =
                WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        options.fAutoLogonIfChallenged = TRUE;
        WINHTTP_PROXY_INFO info = {};
        if (WinHttpGetProxyForUrl(session, lookup->url.c_str(), &options, &info)) {
            GlobalString proxyText, bypassText;
            proxyText.text = info.lpszProxy;
            bypassText.text = info.lpszProxyBypass;
            answered = true;
            named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
            proxy = proxyText.Narrow();
            bypass = bypassText.Narrow();
        }
        WinHttpCloseHandle(session);
    }
    std::lock_guard<std::mutex> hold(lookup->mutex);
    lookup->answered = answered;
    lookup->named = named;
    lookup->proxy = proxy;
    lookup->bypass = bypass;
    lookup->done = true;
    lookup->finished.notify_all();
}

CurlProxy AutoProxyForUrl(const std::string& url, const std::wstring& scriptUrl, bool detect) {
    auto lookup = std::make_shared<AutoProxyLookup>();
    lookup->url = AnsiToWide(url);
    lookup->scriptUrl = scriptUrl;
    lookup->detect = detect;
    try {
        std::thread(RunAutoProxyLookup, lookup).detach();
    } catch (...) {
        return CurlProxy(); // no thread: no answer
    }
    std::unique_lock<std::mutex> hold(lookup->mutex);
    if (!lookup->finished.wait_for(hold, kAutoProxyBound, [&] { return lookup->done; })) {
        TraceLine("proxy: automatic configuration gave no answer in time for %s, going direct",
                  url.c_str());
        return CurlProxy();
    }
    if (!lookup->answered) {
        TraceLine("proxy: automatic configuration found no proxy for %s, going direct",
                  url.c_str());
        return CurlProxy();
    }
    if (!lookup->named) {
        TraceLine("proxy: automatic configuration says direct for %s", url.c_str());
        return CurlProxy();
    }
    return CurlProxyFromWinHttp(lookup->proxy, lookup->bypass, url);
}

} // namespace

CurlProxy UserProxyForUrl(const std::string& url) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return CurlProxy();
    GlobalString scriptUrl, proxy, bypass;
    scriptUrl.text = config.lpszAutoConfigUrl;
    proxy.text = config.lpszProxy;
    bypass.text = config.lpszProxyBypass;
    if (config.fAutoDetect || (scriptUrl.text && scriptUrl.text[0])) {
        return AutoProxyForUrl(url, scriptUrl.text ? std::wstring(scriptUrl.text) : std::wstring(),
                               config.fAutoDetect != FALSE);
    }
    return CurlProxyFromWinHttp(proxy.Narrow(), bypass.Narrow(), url);
}
