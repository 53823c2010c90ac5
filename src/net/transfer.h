// The hop loop that both transfers run through (the document fetch and the
// installer transfer): one libcurl easy handle, each redirect followed and
// routed on its own, the whole transfer's time limit, the stall guard, and a
// proxy's login answered with the Windows logon.
#pragma once
#include <curl/curl.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class ProxyChallenges;

// A transfer that stays below one byte a second for this long has stalled:
// a minute, but an installer try after one of the same run received bytes
// has shown the server does answer, and a try that stalls again ends sooner,
// so that a server stalling every time fails the run in about two minutes.
// A transfer that keeps moving, however slowly, is never cut.
constexpr long kFirstStallSeconds = 60;
constexpr long kRetryStallSeconds = 15;
long StallSeconds(bool afterFlow);

constexpr long kProxyLoginRequired = 407;
// A redirect answer's body is dropped; one that goes on past this is no
// redirect a server means, and ends the transfer. A proxy's login page is
// bounded the same way.
constexpr size_t kRedirectBodyLimit = 1024 * 1024;
// The protocols a transfer and its redirects may use (net/tls.h).
extern const char* const kAllowedProtocols;

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistFree>;

// The address libcurl is given for a document or installer address: "https:"
// becomes "http:" in the plain build; in the ANSI code page.
std::string TransferUrl(const std::wstring& url);
// Ends the transfer once it stays below one byte a second for `seconds`.
void EndStalledTransfers(CURL* h, long seconds);
// A proxy that asks for a login gets the current user's Windows logon;
// `challenges` collects what the proxy offered.
void AnswerProxyWithLogon(CURL* h, ProxyChallenges* challenges);

// The host a request to `url` connects to and the address as libcurl's own
// URL parser reads it (scheme guessed where missing, as libcurl does for a
// transfer). False when libcurl would refuse the address.
bool ParseRequestUrl(const std::string& url, std::string& host, std::string& normalized);

// Where the body of the current hop goes.
using BodySink = size_t (*)(char* data, size_t size, size_t count, void* userdata);

// One transfer as PerformTransfer runs it. The handle carries every option
// but the address and the route, which are set per hop.
struct Transfer {
    CURL* handle = nullptr;
    std::string url;
    // 0: a redirect answer is the result, as any other answer.
    long maxRedirects = 0;
    BodySink sink = nullptr;
    void* sinkData = nullptr;
    // Called before each hop's request, after its address and route are set.
    std::function<void(CURL* handle, const std::string& url)> onHop;
    // What the last answer offered to log in with (AnswerProxyWithLogon).
    const ProxyChallenges* challenges = nullptr;
    // The whole transfer's limit, every hop and its proxy lookup included;
    // 0: none.
    long totalSeconds = 0;
};

struct TransferOutcome {
    CURLcode code = CURLE_OK;
    long status = 0; // HTTP status of the last answer, 0 without one
    // The proxy refused the tunnel (CONNECT) with this 4xx; 0 otherwise.
    long tunnelRefused = 0;
};

// Performs the transfer, following up to `maxRedirects` redirects one hop
// at a time. A 301, 302 or 303 turns a POST into a GET, as browsers do.
TransferOutcome PerformTransfer(const Transfer& transfer);
