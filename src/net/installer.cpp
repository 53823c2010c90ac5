// The installer transfer on libcurl's easy interface.
//
// DownloadToFile GETs the installer into a file and relays its progress
// through ProgressHook. It may continue the bytes an earlier transfer left:
// only the final answer counts, and it is appended only when the server
// confirms that it continues the same file (net/range.h decides). Every byte
// written is handed to the caller's WrittenBytesSink in file order, and a
// kept prefix is read back into it first. Failures are reported only as a
// false result and the transfer's end; one line goes to the error output.
//
// One job that reads best whole: the header, body and progress callbacks
// and the range loop all act on one InstallerRequest, and the file's state
// between them is the point of the file.
#include "net/installer.h"
#include "net/proxy_login.h"
#include "net/range.h"
#include "net/tls.h"
#include "net/transfer.h"
#include "support/file_ex.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

ProgressHookFn ProgressHook = nullptr;

namespace {

constexpr long kMaxInstallerRedirects = 30;
constexpr long kInstallerReceiveBuffer = 102400;

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
    uint64_t complete = 0;     // the whole file's size, as first announced
    uint64_t keptTotal = 0;    // that size for the kept bytes (0: not known)
    bool overlong = false;     // a 206 sent more than its range
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
        const int64_t size = SeekFile(f, 0, SEEK_END) ? TellFile(f) : -1;
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
    if (!SeekFile(f, 0, SEEK_SET))
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
    return SeekFile(f, static_cast<int64_t>(r.offset), SEEK_SET);
}

// The final response's headers are complete: judge them and prepare the file.
bool TakeResponse(InstallerRequest& r) {
    InstallerTransfer& t = *r.transfer;
    r.decided = true;
    r.use = JudgeResponse(r.offset, t.validator, r.keptTotal, r.response);
    t.status = r.response.status;
    if (r.use == BodyUse::Append) {
        uint64_t first = 0, last = 0;
        ParseContentRange(r.response.contentRange, first, last, r.complete);
        r.rangeEnd = last + 1;
        // "bytes a-b/*" names no size: the one first announced still holds,
        // so a range that stops short of it is a cut, not the file's end.
        if (r.complete == 0)
            r.complete = r.keptTotal;
        t.fileTotal = r.complete;
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
        t.fileTotal = AnnouncedTotal(r.response);
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
    else if (NameIs(line, colon, "content-length"))
        r.response.contentLength = HeaderValue(line, colon);
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
    // Nothing past a 206's range reaches the file: a body longer than its
    // range is cut there, and the transfer ends as if the body had.
    size_t kept = bytes;
    if (r.use == BodyUse::Append) {
        const uint64_t at = r.base + r.written;
        const uint64_t room = r.rangeEnd > at ? r.rangeEnd - at : 0;
        if (kept > room) {
            kept = static_cast<size_t>(room);
            r.overlong = true;
        }
    }
    // A short count makes libcurl end the transfer with a write error, so the
    // digests never see a byte the file does not hold.
    if (fwrite(data, 1, kept, r.file.Stream()) != kept) {
        r.localFailure = true;
        return 0;
    }
    r.written += kept;
    if (r.transfer->sink && kept > 0)
        r.transfer->sink->Feed(data, kept);
    return r.overlong ? 0 : bytes;
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
    if (r.overlong)
        code = CURLE_OK; // the range arrived whole; the rest was not taken
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

} // namespace

uint32_t ClampByteCount(uint64_t bytes) {
    return bytes >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
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
    fresh.total = transfer.total;
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
    request.keptTotal = request.offset > 0 ? transfer.total : 0;
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
            transfer.fileTotal = request.keptTotal;
        }
        curl_easy_setopt(h, CURLOPT_RANGE, askWhole ? nullptr : range.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, askWhole ? nullptr : headers.get());
        outcome = PerformTransfer(hops);
        if (askWhole || request.use != BodyUse::AskWhole || request.localFailure)
            break;
        // What was kept belongs to no answer the server gives now.
        transfer.fileValidator.clear();
        transfer.fileTotal = request.keptTotal = 0;
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
