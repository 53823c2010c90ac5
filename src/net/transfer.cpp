// The hop loop of both transfers, on libcurl's easy interface.
//
// PerformTransfer follows redirects itself rather than let libcurl do it:
// every hop is routed on its own (the user's proxy or direct, decided on the
// host libcurl's URL parser gives), and the body of a redirect that is
// followed never reaches the caller. The documents carry "https:" addresses
// but the server is reached over plain HTTP, so the addresses are rewritten
// before the transfer and libcurl is restricted to HTTP. A build with
// QMX_TLS keeps "https:" and never follows a redirect from HTTPS down to
// plain HTTP. The network may lie or stall: a transfer ends when nothing
// arrives for a minute.
//
// A proxy that asks for a login is answered with the user's Windows logon
// (Negotiate or NTLM through SSPI), never with a typed password, and only a
// proxy is: no transfer authenticates to the server. A proxy that refuses
// the logon, or refuses a tunnel (CONNECT), ends the transfer at once, with
// one trace line that says what the proxy offered. An administrator's
// ProxyLogon policy may keep the logon from some proxies or from all.

#include "net/transfer.h"
#include "net/curl_url.h"
#include "net/proxy.h"
#include "net/proxy_login.h"
#include "net/tls.h"
#include "policy/policy.h"
#include "support/text.h"
#include "support/trace.h"

#include <chrono>
#include <vector>

const char* const kAllowedProtocols = TransferProtocols(kTlsBuild);

namespace {

// An empty name and password: SSPI answers with the logged-on user.
const char kLogonCredentials[] = ":";

// Below one byte a second for the stall time counts as a stall: a server that
// keeps the connection open and sends nothing would otherwise hold a document
// fetch for 50 minutes and the installer transfer for ever.
constexpr long kStallBytesPerSecond = 1;

// Every header line received, a tunnel's (CONNECT) included. The installer's
// header callback never sees a tunnel's lines (it is spared them), so what
// a proxy offered is read where libcurl shows every line: its debug
// callback, which needs CURLOPT_VERBOSE. Nothing is written anywhere.
int WatchHeaders(CURL*, curl_infotype type, char* data, size_t size, void* userdata) {
    if (type == CURLINFO_HEADER_IN)
        static_cast<ProxyChallenges*>(userdata)->TakeHeaderLine(data, size);
    return 0;
}

bool IsRedirect(long status) {
    return status >= 300 && status < 400;
}

// The redirect target of the answer now on `h`, when one is to be followed.
bool RedirectTarget(CURL* h, long maxRedirects, std::string& target) {
    long status = 0;
    char* location = nullptr;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location);
    if (maxRedirects <= 0 || !IsRedirect(status) || location == nullptr)
        return false;
    target = location;
    return true;
}

// Whether the answer now arriving on `h` is a redirect the transfer follows.
// libcurl works out the target only once the answer has ended, so this looks
// at the status and the Location header.
bool ArrivingRedirect(CURL* h, long maxRedirects) {
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_header* location = nullptr;
    return maxRedirects > 0 && IsRedirect(status) &&
           curl_easy_header(h, "Location", 0, CURLH_HEADER, -1, &location) == CURLHE_OK;
}

// What one hop's write callback sees: the caller's sink, unless the answer
// is a redirect that will be followed; its body is then read and dropped
// (so that libcurl works out the target), up to a bound.
struct HopBody {
    const Transfer* transfer = nullptr;
    bool checked = false;
    bool redirect = false;
    size_t dropped = 0;
};

size_t RelayBody(char* data, size_t size, size_t count, void* userdata) {
    HopBody* hop = static_cast<HopBody*>(userdata);
    if (!hop->checked) {
        hop->redirect = ArrivingRedirect(hop->transfer->handle, hop->transfer->maxRedirects);
        hop->checked = true;
    }
    if (!hop->redirect)
        return hop->transfer->sink(data, size, count, hop->transfer->sinkData);
    hop->dropped += size * count;
    return hop->dropped <= kRedirectBodyLimit ? size * count : 0;
}

const char* RouteName(const std::string& proxy, std::string& shown) {
    shown = proxy.empty() ? "direct" : ProxyForTrace(proxy);
    return shown.c_str();
}

// Routes the next request to `url`: the user's proxy or direct, as decided
// here for the host libcurl will connect to. libcurl's own proxy choice
// (environment variables, no-proxy suffix matching) never applies.
bool RouteHop(CURL* h, const std::string& url, ProxyRoute& route) {
    std::string host, normalized;
    if (!ParseRequestUrl(url, host, normalized))
        return false;
    bool consulted = false;
    route = UserProxyForUrl(normalized, host, consulted);
    std::string shown;
    if (consulted)
        TraceLine("proxy for %s: %s (%s)", normalized.c_str(), RouteName(route.proxy, shown),
                  route.why.c_str());
    curl_easy_setopt(h, CURLOPT_PROXY, route.proxy.c_str());
    curl_easy_setopt(h, CURLOPT_NOPROXY, "");
    return true;
}

// Whether the request just performed never reached the proxy (or, going
// direct, the server): nothing was sent, so the next entry of the proxy
// list may carry it instead, as Windows does.
bool RouteUnreachable(CURL* h, CURLcode code) {
    long connectAnswer = 0;
    curl_easy_getinfo(h, CURLINFO_HTTP_CONNECTCODE, &connectAnswer);
    return (code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_PROXY ||
            code == CURLE_COULDNT_RESOLVE_HOST) &&
           connectAnswer == 0;
}

// Whether the route's proxy gets the logon under the ProxyLogon policy; when
// not, its credentials are taken off the handle for this hop, and `withheld`
// names the policy for the trace.
void ApplyLogonPolicy(CURL* h, const ProxyRoute& route, std::string& withheld) {
    const EffectivePolicy policy = CurrentPolicy();
    withheld.clear();
    if (LogonAllowed(policy.proxyLogon, route.detected)) {
        curl_easy_setopt(h, CURLOPT_PROXYUSERPWD, kLogonCredentials);
        return;
    }
    curl_easy_setopt(h, CURLOPT_PROXYUSERPWD, nullptr);
    withheld = std::string("ProxyLogon=") + ProxyLogonName(policy.proxyLogon) + " (" +
               PolicySourceName(policy.proxyLogonSource) + ")";
}

// After a hop through `proxy`: false when the proxy said no. A 407 that
// libcurl's answer with the logon did not turn (or one offering nothing the
// logon answers) and a tunnel refused with a 4xx end the transfer; each
// leaves one trace line. libcurl reports a refused tunnel as a receive
// error with no HTTP status, which would otherwise pass for a network cut
// and be tried again.
bool ProxySaidYes(CURL* h, TransferOutcome& outcome, const std::string& proxy,
                  const std::string& url, const ProxyChallenges* challenges,
                  const std::string& withheld) {
    long tunnel = 0;
    curl_easy_getinfo(h, CURLINFO_HTTP_CONNECTCODE, &tunnel);
    const bool tunnelRefused = outcome.code != CURLE_OK && tunnel >= 400 && tunnel <= 499;
    const long status = tunnelRefused ? tunnel : outcome.status;
    if (status == kProxyLoginRequired) {
        const std::vector<std::string> offered =
            challenges ? challenges->Schemes() : std::vector<std::string>();
        const std::string policyNote = "the Windows logon is withheld by " + withheld;
        TraceLine("proxy %s asks for a login (407) for %s, offering %s; %s: the transfer fails",
                  ProxyForTrace(proxy).c_str(), url.c_str(), SchemeList(offered).c_str(),
                  !LogonAnswers(offered) ? "none that the Windows logon answers"
                  : withheld.empty()     ? "the Windows logon did not get through"
                                         : policyNote.c_str());
    } else if (tunnelRefused) {
        TraceLine("proxy %s refused the tunnel for %s (%ld): the transfer fails",
                  ProxyForTrace(proxy).c_str(), url.c_str(), tunnel);
    } else {
        return true;
    }
    if (tunnelRefused)
        outcome.tunnelRefused = tunnel;
    return false;
}

} // namespace

TransferOutcome PerformTransfer(const Transfer& transfer) {
    TransferOutcome outcome;
    CURL* h = transfer.handle;
    std::string url = transfer.url;
    const auto start = std::chrono::steady_clock::now();
    // What is left of the limit, set on the handle; false once none is.
    const auto limitLeft = [&] {
        if (transfer.totalSeconds <= 0)
            return true;
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        const long long left = transfer.totalSeconds * 1000LL - spent.count();
        if (left <= 0)
            return false;
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
        return true;
    };
    for (long hop = 0;; ++hop) {
        ProxyRoute route;
        if (!RouteHop(h, url, route)) {
            outcome.code = CURLE_URL_MALFORMAT;
            return outcome;
        }
        // Measured once this hop's route is known.
        if (!limitLeft()) {
            outcome.code = CURLE_OPERATION_TIMEDOUT;
            return outcome;
        }
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        HopBody body;
        body.transfer = &transfer;
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, RelayBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
        if (transfer.onHop)
            transfer.onHop(h, url);
        std::string withheld;
        if (transfer.challenges)
            ApplyLogonPolicy(h, route, withheld);
        std::string proxy = route.proxy;
        outcome.code = curl_easy_perform(h);
        for (const std::string& next : route.fallbacks) {
            if (!RouteUnreachable(h, outcome.code) || !limitLeft())
                break;
            std::string from, to;
            TraceLine("proxy route %s cannot be reached: trying %s", RouteName(proxy, from),
                      RouteName(next, to));
            proxy = next;
            curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
            outcome.code = curl_easy_perform(h);
        }
        outcome.status = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &outcome.status);
        if (!proxy.empty() && !ProxySaidYes(h, outcome, proxy, url, transfer.challenges, withheld))
            return outcome;
        std::string target;
        if (outcome.code != CURLE_OK || !RedirectTarget(h, transfer.maxRedirects, target))
            return outcome;
        if (hop >= transfer.maxRedirects) {
            outcome.code = CURLE_TOO_MANY_REDIRECTS;
            return outcome;
        }
        if (!RedirectAllowed(url, target, kTlsBuild)) {
            TraceLine("TLS: redirect %ld from %s to %s refused, no fall-back to plain HTTP",
                      outcome.status, url.c_str(), target.c_str());
            outcome.code = CURLE_UNSUPPORTED_PROTOCOL;
            return outcome;
        }
        TraceLine("redirect %ld from %s to %s", outcome.status, url.c_str(), target.c_str());
        if (outcome.status >= 301 && outcome.status <= 303)
            curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        url = target;
    }
}

long StallSeconds(bool afterFlow) {
    return afterFlow ? kRetryStallSeconds : kFirstStallSeconds;
}

std::string TransferUrl(const std::wstring& url) {
    std::wstring plain = url;
    if (!kTlsBuild)
        ReplaceAll(plain, L"https:", L"http:");
    return WideToAnsi(plain);
}

void EndStalledTransfers(CURL* h, long seconds) {
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, seconds);
}

// A proxy that asks for a login gets the current user's Windows logon: an
// empty name and password make SSPI use the logged-on user's credentials.
// Only Negotiate and NTLM are offered; Basic and Digest would send or need
// a password. libcurl gives these to a proxy only: nothing authenticates to
// the server (CURLOPT_HTTPAUTH stays unset).
void AnswerProxyWithLogon(CURL* h, ProxyChallenges* challenges) {
    curl_easy_setopt(h, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
    curl_easy_setopt(h, CURLOPT_PROXYUSERPWD, kLogonCredentials);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, WatchHeaders);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, challenges);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
}

bool ParseRequestUrl(const std::string& url, std::string& host, std::string& normalized) {
    UrlHandle parsed(curl_url());
    if (!parsed)
        return false;
    // The flags libcurl itself parses a transfer's address with.
    if (curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(),
                     CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return false;
    CurlText hostText, urlText;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, &hostText.text, 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_URL, &urlText.text, 0) != CURLUE_OK)
        return false;
    host = hostText.text;
    normalized = urlText.text;
    return true;
}
