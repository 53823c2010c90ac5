// The program's two HTTP transfers, on libcurl's easy interface.
//
// FetchDocument asks for a small XML document with an empty POST and returns
// its body when the answer is a 2xx; DownloadToFile GETs the installer into a
// file and relays its progress through ProgressHook. The documents carry
// "https:" addresses but the server is reached over plain HTTP, so both
// rewrite the scheme before the transfer and restrict libcurl to HTTP.
// A build with QMX_TLS keeps "https:", puts each transfer under the TLS
// check of config/tls.h, never follows a redirect from HTTPS down to plain
// HTTP, and follows a document's redirects too (CDNs send plain-HTTP
// requests on to HTTPS).
//
// Both run through PerformTransfer, which follows redirects itself rather
// than let libcurl do it: every hop is routed on its own (the user's proxy
// or direct, decided on the host libcurl's URL parser gives), and the body
// of a redirect that is followed never reaches the caller. An installer
// transfer may continue the bytes an earlier one left: only the final
// answer counts, and it is appended only when the server confirms that it
// continues the same file (download/resume.h decides). Every failure is
// reported only as an empty body or a false result. The network may lie or
// stall: a document body is bounded while it arrives, and both transfers
// end when nothing arrives for a minute.
//
// A proxy that asks for a login is answered with the user's Windows logon
// (Negotiate or NTLM through SSPI), never with a typed password, and only a
// proxy is: no transfer authenticates to the server. A proxy that refuses
// the logon, or refuses a tunnel (CONNECT), ends the transfer at once, with
// one trace line that says what the proxy offered.

#include "config/http.h"
#include "config/curl_url.h"
#include "config/proxy.h"
#include "config/proxy_login.h"
#include "config/text.h"
#include "config/tls.h"
#include "download/file_ex.h"
#include "support/trace.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

ProgressHookFn ProgressHook = nullptr;
const DocumentLimits kDocumentLimits = {3000, 3000};

namespace {

// A transfer that stays below one byte a second for a minute has stalled: a
// server that keeps the connection open and sends nothing would otherwise
// hold a document fetch for 50 minutes and the installer transfer for ever.
// A retry of the installer after bytes flowed is judged sooner (resume.h).
constexpr long kStallBytesPerSecond = 1;
constexpr long kMaxInstallerRedirects = 30;
constexpr long kMaxDocumentRedirects = kTlsBuild ? 10 : 0;
constexpr long kInstallerReceiveBuffer = 102400;
constexpr long kProxyLoginRequired = 407;
// A redirect answer's body is dropped; one that goes on past this is no
// redirect a server means, and ends the transfer.
constexpr size_t kRedirectBodyLimit = 1024 * 1024;
const char* const kDocumentHeader = "Content-Type:text/xml; charset=utf-8";
const char* const kAllowedProtocols = TransferProtocols(kTlsBuild);

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistFree>;

// One reference on libcurl's global state for the life of a download.
class GlobalInitReference {
  public:
    GlobalInitReference() : m_code(curl_global_init(CURL_GLOBAL_ALL)) {}
    ~GlobalInitReference() { curl_global_cleanup(); }
    GlobalInitReference(const GlobalInitReference&) = delete;
    GlobalInitReference& operator=(const GlobalInitReference&) = delete;
    bool Ok() const { return m_code == CURLE_OK; }

  private:
    CURLcode m_code;
};

// Empties ProgressHook when the download leaves, on every path.
struct ProgressHookScope {
    explicit ProgressHookScope(ProgressHookFn relay) { ProgressHook = relay; }
    ~ProgressHookScope() { ProgressHook = nullptr; }
    ProgressHookScope(const ProgressHookScope&) = delete;
    ProgressHookScope& operator=(const ProgressHookScope&) = delete;
};

std::string TransferUrl(const std::wstring& url) {
    std::wstring plain = url;
    if (!kTlsBuild)
        ReplaceAll(plain, L"https:", L"http:");
    return WideToAnsi(plain);
}

size_t AppendToBody(char* data, size_t size, size_t count, void* userdata) {
    const size_t bytes = size * count;
    // Nothing may be thrown through libcurl; a failed allocation ends the
    // transfer as a write error.
    try {
        if (static_cast<DocumentBody*>(userdata)->Append(data, bytes))
            return bytes;
    } catch (...) {
    }
    return 0;
}

void EndStalledTransfers(CURL* h, long seconds) {
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, seconds);
}

// Every header line received, a tunnel's (CONNECT) included. The installer's
// header callback never sees a tunnel's lines (it is spared them), so what
// a proxy offered is read where libcurl shows every line: its debug
// callback, which needs CURLOPT_VERBOSE. Nothing is written anywhere.
int WatchHeaders(CURL*, curl_infotype type, char* data, size_t size, void* userdata) {
    if (type == CURLINFO_HEADER_IN)
        static_cast<ProxyChallenges*>(userdata)->TakeHeaderLine(data, size);
    return 0;
}

// A proxy that asks for a login gets the current user's Windows logon: an
// empty name and password make SSPI use the logged-on user's credentials.
// Only Negotiate and NTLM are offered; Basic and Digest would send or need
// a password. libcurl gives these to a proxy only: nothing authenticates to
// the server (CURLOPT_HTTPAUTH stays unset).
void AnswerProxyWithLogon(CURL* h, ProxyChallenges* challenges) {
    curl_easy_setopt(h, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
    curl_easy_setopt(h, CURLOPT_PROXYUSERPWD, ":");
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, WatchHeaders);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, challenges);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
}

// The document request carries no body. libcurl's default read function would
// send the process's standard input as the POST body (and block on a
// terminal), so the body is ended at once instead.
size_t EmptyBody(char*, size_t, size_t, void*) {
    return 0;
}

// The empty body can always be sent again. libcurl asks to rewind it when
// the request is repeated with a proxy's login; without a seek function it
// would fail the transfer instead ("necessary data rewind wasn't possible").
int RewindEmptyBody(void*, curl_off_t, int) {
    return CURL_SEEKFUNC_OK;
}

// One installer request and what its callbacks learn: the file with the
// bytes kept from an earlier transfer, the headers of the response being
// received, and whether that response's body goes to the file.
struct InstallerRequest {
    InstallerTransfer* transfer = nullptr;
    std::string path;
    CFileEx file;
    uint64_t offset = 0;      // bytes kept on disk, asked for from here
    ResponseHeaders response; // of the response being received
    bool hasLocation = false;
    bool decided = false; // the final response's headers were judged
    BodyUse use = BodyUse::Refused;
    bool writing = false;      // that response's body goes to the file
    bool localFailure = false; // the file could not be read back or written
    size_t dropped = 0;        // body bytes of answers that are not the file's
    uint64_t base = 0;         // file bytes before the body
    uint64_t written = 0;      // body bytes written after them
    uint64_t rangeEnd = 0;     // a 206's last byte + 1, from Content-Range
    uint64_t complete = 0;     // the whole file's size from Content-Range
};

constexpr long kHttpContinueLast = 199;
constexpr size_t kPrefixReadBytes = 64 * 1024;
const char* const kIfRange = "If-Range: ";

// The hop loop follows every 3xx that names a Location.
bool IsFollowedRedirect(long status, bool hasLocation) {
    return hasLocation && status >= 300 && status < 400;
}

// Opens the file: kept as it is when there is a validator to resume with,
// emptied otherwise. Sets the offset to ask from. Nobody else may write it
// while it is held, so the prefix read back is the one the body continues.
bool OpenInstallerFile(InstallerRequest& r, bool keep) {
    r.file.Close();
    r.offset = 0;
    if (keep && r.file.Open(r.path, "r+b", true)) {
        FILE* f = r.file.Stream();
        const long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
        if (size > 0) {
            r.offset = static_cast<uint64_t>(size);
            return true;
        }
        r.file.Close();
    }
    return r.file.Open(r.path, "wb", true);
}

// Feeds the kept bytes to the sink and places the file after them.
bool ReadBackPrefix(InstallerRequest& r) {
    FILE* f = r.file.Stream();
    WrittenBytesSink* sink = r.transfer->sink;
    if (fseek(f, 0, SEEK_SET) != 0)
        return false;
    if (sink)
        sink->Restart();
    std::vector<char> block(kPrefixReadBytes);
    uint64_t left = r.offset;
    while (left > 0) {
        const size_t want = left < block.size() ? static_cast<size_t>(left) : block.size();
        const size_t got = fread(block.data(), 1, want, f);
        if (got != want)
            return false;
        if (sink)
            sink->Feed(block.data(), got);
        left -= got;
    }
    // A write may follow a read only after a seek.
    return fseek(f, static_cast<long>(r.offset), SEEK_SET) == 0;
}

// The final response's headers are complete: judge them and prepare the file.
bool TakeResponse(InstallerRequest& r) {
    InstallerTransfer& t = *r.transfer;
    r.decided = true;
    r.use = JudgeResponse(r.offset, t.validator, r.response);
    t.status = r.response.status;
    if (r.use == BodyUse::Append) {
        uint64_t first = 0, last = 0;
        ParseContentRange(r.response.contentRange, first, last, r.complete);
        r.rangeEnd = last + 1;
        if (r.offset > 0 && !ReadBackPrefix(r)) {
            r.localFailure = true;
            return false;
        }
        r.base = r.offset;
        t.appended = r.offset > 0;
        if (r.offset == 0)
            t.fileValidator = ResponseValidator(r.response);
    } else if (r.use == BodyUse::FromStart) {
        // The body is the whole file: what was kept goes.
        if (r.offset > 0) {
            r.file.Close();
            if (!r.file.Open(r.path, "wb", true)) {
                r.localFailure = true;
                return false;
            }
        }
        r.base = 0;
        r.complete = 0;
        t.fileValidator = ResponseValidator(r.response);
    } else {
        return false; // ends the transfer; the file stays as it is
    }
    // One sink serves every try of a run: whatever is written from byte 0
    // (a whole body, or a 206 that starts there) starts the digests afresh,
    // so that they never cover bytes an earlier try left behind.
    if (r.base == 0 && t.sink)
        t.sink->Restart();
    r.written = 0;
    r.writing = true;
    return true;
}

std::string HeaderValue(const std::string& line, size_t colon) {
    size_t first = colon + 1;
    size_t last = line.size();
    while (first < last && (line[first] == ' ' || line[first] == '\t'))
        ++first;
    while (last > first && (line[last - 1] == ' ' || line[last - 1] == '\t'))
        --last;
    return line.substr(first, last - first);
}

bool NameIs(const std::string& line, size_t colon, const char* name) {
    const size_t length = strlen(name);
    if (colon != length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (tolower(static_cast<unsigned char>(line[i])) != name[i])
            return false;
    return true;
}

// One header line of any response, redirects and interim answers included:
// each status line starts a new response, and only the final one counts.
bool TakeHeaderLine(InstallerRequest& r, std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.compare(0, 5, "HTTP/") == 0) {
        if (r.decided)
            return false; // nothing may follow the final response
        r.response = ResponseHeaders();
        r.hasLocation = false;
        const size_t space = line.find(' ');
        if (space != std::string::npos)
            r.response.status = strtol(line.c_str() + space + 1, nullptr, 10);
        return true;
    }
    if (line.empty()) {
        // A proxy's 407 is answered by libcurl with the logon and followed by
        // the answer to the request; when it is the last, the transfer ends
        // refused (EndOf).
        if (r.decided || r.response.status <= kHttpContinueLast ||
            r.response.status == kProxyLoginRequired ||
            IsFollowedRedirect(r.response.status, r.hasLocation))
            return true;
        return TakeResponse(r);
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return true;
    if (NameIs(line, colon, "etag"))
        r.response.etag = HeaderValue(line, colon);
    else if (NameIs(line, colon, "last-modified"))
        r.response.lastModified = HeaderValue(line, colon);
    else if (NameIs(line, colon, "content-range"))
        r.response.contentRange = HeaderValue(line, colon);
    else if (NameIs(line, colon, "location"))
        r.hasLocation = true;
    return true;
}

size_t OnInstallerHeader(char* data, size_t size, size_t count, void* userdata) {
    const size_t bytes = size * count;
    // Nothing may be thrown through libcurl; a short count ends the transfer.
    try {
        if (TakeHeaderLine(*static_cast<InstallerRequest*>(userdata), std::string(data, bytes)))
            return bytes;
    } catch (...) {
    }
    return 0;
}

size_t WriteToFile(char* data, size_t size, size_t count, void* userdata) {
    InstallerRequest& r = *static_cast<InstallerRequest*>(userdata);
    const size_t bytes = size * count;
    r.transfer->bodyBytes += bytes;
    if (!r.writing) {
        // The body of a proxy's login page, bounded as a redirect's is.
        r.dropped += bytes;
        return r.decided || r.dropped > kRedirectBodyLimit ? 0 : bytes;
    }
    // A short count makes libcurl end the transfer with a write error, so the
    // digests never see a byte the file does not hold.
    if (fwrite(data, 1, bytes, r.file.Stream()) != bytes) {
        r.localFailure = true;
        return 0;
    }
    r.written += bytes;
    if (r.transfer->sink)
        r.transfer->sink->Feed(data, bytes);
    return bytes;
}

// libcurl's counts are signed; a negative one counts as none.
uint64_t CountAfter(uint64_t base, curl_off_t count) {
    const uint64_t more = count > 0 ? static_cast<uint64_t>(count) : 0;
    return more > UINT64_MAX - base ? UINT64_MAX : base + more;
}

int RelayProgress(void* clientp, curl_off_t downloadTotal, curl_off_t downloaded, curl_off_t,
                  curl_off_t) {
    const ProgressHookFn hook = ProgressHook;
    const InstallerRequest& r = *static_cast<const InstallerRequest*>(clientp);
    if (!hook || !r.writing)
        return 0;
    // Without a Content-Length the total stays 0 and nothing is relayed. A
    // continued file counts from its start: the kept bytes are received too.
    // Nothing may be thrown through libcurl: a display update that fails
    // (no memory for its text) is skipped.
    try {
        if (downloadTotal > 0) {
            const uint64_t total = r.complete > 0 ? r.complete : CountAfter(r.base, downloadTotal);
            const uint64_t received = CountAfter(r.base, downloaded);
            if (total >= received)
                hook(ClampByteCount(total), ClampByteCount(received));
        }
    } catch (...) {
    }
    return 0; // never cancels the transfer
}

TransferEnd EndOf(CURLcode code, const InstallerRequest& r) {
    if (r.localFailure)
        return TransferEnd::LocalFailure;
    if (code == CURLE_OK && !r.writing)
        return TransferEnd::Refused;
    // A 206 that ends before the file does (a range short of the whole, or a
    // body short of its range) is a cut: the next try continues after it.
    if (code == CURLE_OK && r.use == BodyUse::Append &&
        r.base + r.written < (r.complete > 0 ? r.complete : r.rangeEnd))
        return TransferEnd::NetworkCut;
    if (code == CURLE_OK)
        return TransferEnd::Complete;
    if (r.decided && !r.writing)
        return r.use == BodyUse::ServerError ? TransferEnd::ServerError : TransferEnd::Refused;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_PARTIAL_FILE:
    case CURLE_OPERATION_TIMEDOUT: // the low-speed limit caught a stall
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        return TransferEnd::NetworkCut;
    case CURLE_WRITE_ERROR:
        return TransferEnd::LocalFailure;
    default:
        return TransferEnd::Refused; // a redirect loop, a protocol not allowed
    }
}

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

// After a hop through `proxy`: false when the proxy said no. A 407 that
// libcurl's answer with the logon did not turn (or one offering nothing the
// logon answers) and a tunnel refused with a 4xx end the transfer; each
// leaves one trace line. libcurl reports a refused tunnel as a receive
// error with no HTTP status, which would otherwise pass for a network cut
// and be tried again.
bool ProxySaidYes(CURL* h, TransferOutcome& outcome, const std::string& proxy,
                  const std::string& url, const ProxyChallenges* challenges) {
    long tunnel = 0;
    curl_easy_getinfo(h, CURLINFO_HTTP_CONNECTCODE, &tunnel);
    const bool tunnelRefused = outcome.code != CURLE_OK && tunnel >= 400 && tunnel <= 499;
    const long status = tunnelRefused ? tunnel : outcome.status;
    if (status == kProxyLoginRequired) {
        const std::vector<std::string> offered =
            challenges ? challenges->Schemes() : std::vector<std::string>();
        TraceLine("proxy %s asks for a login (407) for %s, offering %s; %s: the transfer fails",
                  ProxyForTrace(proxy).c_str(), url.c_str(), SchemeList(offered).c_str(),
                  LogonAnswers(offered) ? "the Windows logon did not get through"
                                        : "none that the Windows logon answers");
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

// Performs the transfer, following up to `maxRedirects` redirects one hop
// at a time. A 301, 302 or 303 turns a POST into a GET, as browsers do.
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
        if (!proxy.empty() && !ProxySaidYes(h, outcome, proxy, url, transfer.challenges))
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

} // namespace

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

bool DocumentBody::Append(const char* data, size_t size) {
    const size_t room = kLimit - m_kept.size();
    if (size > room) {
        m_kept.append(data, room);
        m_full = true;
        return false;
    }
    m_kept.append(data, size);
    return true;
}

std::string DocumentBody::Text() const {
    return std::string(m_kept.c_str()); // up to the first NUL
}

uint32_t ClampByteCount(uint64_t bytes) {
    return bytes >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
}

std::string FetchDocument(const std::wstring& url) {
    return FetchDocument(url, kDocumentLimits);
}

std::string FetchDocument(const std::wstring& url, const DocumentLimits& limits) {
    EasyHandle handle(curl_easy_init());
    if (!handle)
        return std::string();
    HeaderList headers(curl_slist_append(nullptr, kDocumentHeader));
    DocumentBody body;
    Transfer transfer;
    transfer.handle = handle.get();
    transfer.url = TransferUrl(url);
    transfer.maxRedirects = kMaxDocumentRedirects;
    transfer.totalSeconds = limits.totalSeconds;
    transfer.sink = AppendToBody;
    transfer.sinkData = &body;
    ProxyChallenges challenges;
    transfer.challenges = &challenges;

    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, EmptyBody);
    curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, RewindEmptyBody);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    EndStalledTransfers(h, kFirstStallSeconds);
    AnswerProxyWithLogon(h, &challenges);
    TlsTransferCheck tls(h);

    const TransferOutcome outcome = PerformTransfer(transfer);
    handle.reset(); // before the header list it points at
    // A body past the limit was ended by AppendToBody: what it kept is the
    // result, as for a body that ends there.
    if (outcome.code != CURLE_OK && !(outcome.code == CURLE_WRITE_ERROR && body.Full()))
        return std::string();
    // Only a real answer is a document: an error page, a captive portal's
    // page or a proxy's login page may well be XML too.
    if (outcome.status < 200 || outcome.status > 299) {
        TraceLine("document %s: HTTP status %ld, not a document", transfer.url.c_str(),
                  outcome.status);
        return std::string();
    }
    return body.Text();
}

bool DownloadToFile(const std::wstring& url, const std::string& path, ProgressHookFn relay) {
    InstallerTransfer whole;
    return DownloadToFile(url, path, relay, whole);
}

bool DownloadToFile(const std::wstring& url, const std::string& path, ProgressHookFn relay,
                    InstallerTransfer& transfer) {
    InstallerTransfer fresh;
    fresh.validator = transfer.validator;
    fresh.sink = transfer.sink;
    fresh.afterFlow = transfer.afterFlow;
    transfer = fresh;
    GlobalInitReference global;
    if (!global.Ok())
        return false;
    EasyHandle handle(curl_easy_init());
    if (!handle)
        return false;
    InstallerRequest request;
    request.transfer = &transfer;
    request.path = path;
    if (!OpenInstallerFile(request, !transfer.validator.empty()))
        return false;
    ProgressHookScope hookScope(relay);
    Transfer hops;
    hops.handle = handle.get();
    hops.url = TransferUrl(url);
    hops.maxRedirects = kMaxInstallerRedirects;
    hops.sink = WriteToFile;
    hops.sinkData = &request;
    ProxyChallenges challenges;
    hops.challenges = &challenges;

    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnInstallerHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &request);
    // A proxy's answer to CONNECT is not the server's response: without this
    // its "200 Connection established" would be taken as the final answer.
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, RelayProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &request);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    // The library's default 16 KiB receive buffer costs a tenth of the
    // throughput on a fast link; take what the curl tool itself uses.
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kInstallerReceiveBuffer);
    // No overall limit: a slow but moving transfer goes on.
    EndStalledTransfers(h, StallSeconds(transfer.afterFlow));
    AnswerProxyWithLogon(h, &challenges);
    TlsTransferCheck tls(h);

    // A kept prefix is continued with a range (sent on every hop); when the
    // server answers with anything but its continuation, the whole file is
    // asked for once more.
    TransferOutcome outcome;
    HeaderList headers;
    for (bool askWhole = request.offset == 0;; askWhole = true) {
        std::string range;
        if (!askWhole) {
            range = std::to_string(request.offset) + "-";
            headers.reset(curl_slist_append(nullptr, (kIfRange + transfer.validator).c_str()));
            transfer.offset = request.offset;
            transfer.fileValidator = transfer.validator;
        }
        curl_easy_setopt(h, CURLOPT_RANGE, askWhole ? nullptr : range.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, askWhole ? nullptr : headers.get());
        outcome = PerformTransfer(hops);
        if (askWhole || request.use != BodyUse::AskWhole || request.localFailure)
            break;
        // What was kept belongs to no answer the server gives now.
        transfer.fileValidator.clear();
        request.response = ResponseHeaders();
        request.hasLocation = request.decided = request.writing = false;
        if (!OpenInstallerFile(request, false)) {
            request.localFailure = true;
            break;
        }
    }
    // The last buffered bytes reach the file here; if they cannot, the file
    // holds less than the digests were fed.
    if (request.file.Stream() != nullptr && fflush(request.file.Stream()) != 0)
        request.localFailure = true;
    request.file.Close();
    // A proxy's login page (407) is a 4xx like any other: refused, not
    // written; so is a tunnel the proxy refused, which is no network cut.
    transfer.end = outcome.tunnelRefused && !request.localFailure ? TransferEnd::Refused
                                                                  : EndOf(outcome.code, request);
    if (outcome.tunnelRefused)
        transfer.status = outcome.tunnelRefused;
    if (transfer.end != TransferEnd::Complete)
        fprintf(stderr, "curl_easy_perform() failed: %s\n",
                outcome.code != CURLE_OK ? curl_easy_strerror(outcome.code) : "no usable answer");
    // The handle goes first; the hook is emptied and the global reference
    // given back as the scope ends, on both paths.
    handle.reset();
    return transfer.end == TransferEnd::Complete;
}
