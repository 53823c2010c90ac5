// Reading the current user's proxy settings through WinHTTP, for each
// request, so that a change in the settings counts from the next one on.
//
// With automatic detection or a setup script switched on,
// WinHttpGetProxyForUrl answers for the address first; it may look for a
// WPAD server and download a script, so it runs on a helper thread and the
// request waits for it only a bounded time. A script server that asks for a
// login gets the user's logon on a second lookup, as Microsoft advises. One
// WinHTTP session serves the whole process, so that WinHTTP keeps what it
// learnt (an answer, or that there is none) from one request to the next
// instead of searching again.
// When the automatic side gives no answer, the manual proxy is used as
// Windows does, and direct only when none is set (ChooseProxy, proxy.cpp).
#include "net/proxy.h"

#include "net/tls.h"
#include "policy/policy.h"
#include "support/text.h"
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
    bool detected = false;
    std::string proxy;
    std::string bypass;
};

// The process's one WinHTTP session, made on first use and kept until the
// process ends (a lookup that outlived its bound may still be using it).
HINTERNET ProxySession() {
    static HINTERNET session = [] {
        HINTERNET made = WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0);
        if (made)
            WinHttpSetTimeouts(made, kScriptStepTimeoutMs, kScriptStepTimeoutMs,
                               kScriptStepTimeoutMs, kScriptStepTimeoutMs);
        return made;
    }();
    return session;
}

// One WinHTTP lookup, by automatic detection or by the setup script.
BOOL LookUpProxy(HINTERNET session, const AutoProxyLookup& lookup, bool detect,
                 WINHTTP_PROXY_INFO& info) {
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    if (detect) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = lookup.scriptUrl.c_str();
    }
    // The script's server gets the user's logon only when it asks for
    // one: a WPAD host anyone can put on the network would otherwise
    // be offered it with every lookup. The logon policy holds for it as
    // for a proxy: a server found by detection gets it only under "all".
    options.fAutoLogonIfChallenged = FALSE;
    BOOL found = WinHttpGetProxyForUrl(session, lookup.url.c_str(), &options, &info);
    if (!found && GetLastError() == ERROR_WINHTTP_LOGIN_FAILURE &&
        LogonAllowed(CurrentPolicy().proxyLogon, detect)) {
        options.fAutoLogonIfChallenged = TRUE;
        found = WinHttpGetProxyForUrl(session, lookup.url.c_str(), &options, &info);
    }
    return found;
}

void RunAutoProxyLookup(const std::shared_ptr<AutoProxyLookup>& lookup) {
    bool answered = false, named = false, detected = false;
    std::string proxy, bypass;
    HINTERNET session = ProxySession();
    if (session) {
        // Detection first, then the script, in the order WinHTTP takes the
        // two when asked for both; asked apart, the answer says which of
        // them named the proxy (the logon policy tells them apart).
        WINHTTP_PROXY_INFO info = {};
        BOOL found = FALSE;
        if (lookup->detect) {
            found = LookUpProxy(session, *lookup, true, info);
            detected = found != FALSE;
        }
        if (!found && !lookup->scriptUrl.empty())
            found = LookUpProxy(session, *lookup, false, info);
        if (found) {
            GlobalString proxyText, bypassText;
            proxyText.text = info.lpszProxy;
            bypassText.text = info.lpszProxyBypass;
            answered = true;
            named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
            proxy = proxyText.Narrow();
            bypass = bypassText.Narrow();
        }
    }
    std::lock_guard<std::mutex> hold(lookup->mutex);
    lookup->answered = answered;
    lookup->named = named;
    lookup->detected = detected;
    lookup->proxy = proxy;
    lookup->bypass = bypass;
    lookup->done = true;
    lookup->finished.notify_all();
}

AutoProxyAnswer AskAutoProxy(const std::string& url, const std::wstring& scriptUrl, bool detect) {
    AutoProxyAnswer answer;
    answer.kind = AutoProxyAnswer::NoAnswer;
    auto lookup = std::make_shared<AutoProxyLookup>();
    lookup->url = AnsiToWide(url);
    lookup->scriptUrl = scriptUrl;
    lookup->detect = detect;
    try {
        std::thread(RunAutoProxyLookup, lookup).detach();
    } catch (...) {
        return answer; // no thread: no answer
    }
    std::unique_lock<std::mutex> hold(lookup->mutex);
    if (!lookup->finished.wait_for(hold, kAutoProxyBound, [&] { return lookup->done; })) {
        answer.kind = AutoProxyAnswer::TooLate;
        return answer;
    }
    if (!lookup->answered)
        return answer;
    answer.kind = lookup->named ? AutoProxyAnswer::Named : AutoProxyAnswer::Direct;
    answer.proxy = lookup->proxy;
    answer.bypass = lookup->bypass;
    answer.detected = lookup->detected;
    return answer;
}

} // namespace

ProxyRoute UserProxyForUrl(const std::string& url, const std::string& host, bool& consulted) {
    consulted = false;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return ProxyRoute();
    GlobalString scriptUrl, proxy, bypass;
    scriptUrl.text = config.lpszAutoConfigUrl;
    proxy.text = config.lpszProxy;
    bypass.text = config.lpszProxyBypass;
    AutoProxyAnswer automatic;
    const bool script = scriptUrl.text && scriptUrl.text[0];
    if (config.fAutoDetect || script)
        automatic = AskAutoProxy(url, script ? std::wstring(scriptUrl.text) : std::wstring(),
                                 config.fAutoDetect != FALSE);
    const std::string manual = proxy.Narrow();
    consulted = automatic.kind != AutoProxyAnswer::NotSet || !manual.empty();
    // Only a TLS build requests "https:" addresses.
    return ChooseProxy(automatic, manual, bypass.Narrow(), host,
                       kTlsBuild && IsHttpsAddress(url) ? "https" : "http");
}

void PrepareUserProxy() {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return;
    GlobalString scriptUrl, proxy, bypass;
    scriptUrl.text = config.lpszAutoConfigUrl;
    proxy.text = config.lpszProxy;
    bypass.text = config.lpszProxyBypass;
    if (config.fAutoDetect || (scriptUrl.text && scriptUrl.text[0]))
        ProxySession();
}
