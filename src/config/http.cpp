// The program's two HTTP transfers, on libcurl's easy interface.
//
// FetchDocument asks for a small XML document with an empty POST and returns
// its body, whatever the status; DownloadToFile GETs the installer into a file
// and relays its progress through ProgressHook. An installer transfer may
// continue the bytes an earlier one left: only the final response counts
// (redirect bodies never reach the file), and it is appended only when the
// server confirms it continues the same file (download/resume.h decides). The documents carry
// "https:" addresses but the server is reached over plain HTTP, so both rewrite the scheme before
// the transfer and restrict libcurl to HTTP, redirects included. Every failure is reported only as
// an empty body or a false result. The network may lie or stall: a document body is bounded while
// it arrives, and both transfers end when nothing arrives for a minute.
#include "config/http.h"
#include "config/proxy.h"
#include "config/text.h"
#include "download/file_ex.h"

// The progress callback (CURLOPT_PROGRESSFUNCTION) is marked deprecated in
// libcurl's header; it is what the download reports through.
#define CURL_DISABLE_DEPRECATION
#include <curl/curl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

ProgressHookFn ProgressHook = nullptr;

namespace {

constexpr long kDocumentTimeoutSeconds = 3000; // both connect and whole transfer
// A transfer that stays below one byte a second for a minute has stalled: a
// server that keeps the connection open and sends nothing would otherwise
// hold a document fetch for 50 minutes and the installer transfer for ever.
constexpr long kStallBytesPerSecond = 1;
constexpr long kStallSeconds = 60;
constexpr long kMaxInstallerRedirects = 30;
constexpr long kInstallerReceiveBuffer = 102400;
const char* const kDocumentHeader = "Content-Type:text/xml; charset=utf-8";
const char* const kAllowedProtocols = "http";

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

void EndStalledTransfers(CURL* h) {
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
}

// The document request carries no body. libcurl's default read function would
// send the process's standard input as the POST body (and block on a
// terminal), so the body is ended at once instead.
size_t EmptyBody(char*, size_t, size_t, void*) {
    return 0;
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
    uint64_t base = 0;         // file bytes before the body
    uint64_t complete = 0;     // the whole file's size from Content-Range
};

constexpr long kHttpContinueLast = 199;
constexpr size_t kPrefixReadBytes = 64 * 1024;
const char* const kIfRange = "If-Range: ";

bool IsFollowedRedirect(long status, bool hasLocation) {
    return hasLocation &&
           (status == 301 || status == 302 || status == 303 || status == 307 || status == 308);
}

// Opens the file: kept as it is when there is a validator to resume with,
// emptied otherwise. Sets the offset to ask from.
bool OpenInstallerFile(InstallerRequest& r, bool keep) {
    r.file.Close();
    r.offset = 0;
    if (keep && r.file.Open(r.path, "r+b")) {
        FILE* f = r.file.Stream();
        const long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
        if (size > 0) {
            r.offset = static_cast<uint64_t>(size);
            return true;
        }
        r.file.Close();
    }
    return r.file.Open(r.path, "wb");
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
            if (!r.file.Open(r.path, "wb")) {
                r.localFailure = true;
                return false;
            }
        }
        if (t.sink)
            t.sink->Restart();
        r.base = 0;
        r.complete = 0;
        t.fileValidator = ResponseValidator(r.response);
    } else {
        return false; // ends the transfer; the file stays as it is
    }
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
        if (r.decided || r.response.status <= kHttpContinueLast ||
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
    if (!r.writing)
        return r.decided ? 0 : bytes; // the body of a redirect that is followed
    // A short count makes libcurl end the transfer with a write error, so the
    // digests never see a byte the file does not hold.
    if (fwrite(data, 1, bytes, r.file.Stream()) != bytes) {
        r.localFailure = true;
        return 0;
    }
    if (r.transfer->sink)
        r.transfer->sink->Feed(data, bytes);
    return bytes;
}

int RelayProgress(void* clientp, double downloadTotal, double downloaded, double, double) {
    const ProgressHookFn hook = ProgressHook;
    const InstallerRequest& r = *static_cast<const InstallerRequest*>(clientp);
    if (!hook || !r.writing)
        return 0;
    // Without a Content-Length the total stays 0 and nothing is relayed. A
    // continued file counts from its start: the kept bytes are received too.
    // Nothing may be thrown through libcurl: a display update that fails
    // (no memory for its text) is skipped.
    try {
        if (downloadTotal > 0.0) {
            const double base = static_cast<double>(r.base);
            const double total =
                r.complete > 0 ? static_cast<double>(r.complete) : base + downloadTotal;
            const double received = base + downloaded;
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
    if (code == CURLE_OK)
        return r.writing ? TransferEnd::Complete : TransferEnd::Refused;
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

uint32_t ClampByteCount(double bytes) {
    constexpr double kLargest = static_cast<double>(UINT32_MAX);
    if (!(bytes > 0.0)) // also not-a-number
        return 0;
    if (bytes >= kLargest)
        return UINT32_MAX;
    return static_cast<uint32_t>(bytes);
}

std::string FetchDocument(const std::wstring& url) {
    EasyHandle handle(curl_easy_init());
    if (!handle)
        return std::string();
    HeaderList headers(curl_slist_append(nullptr, kDocumentHeader));
    const std::string address = TransferUrl(url);
    DocumentBody body;

    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    ApplyUserProxy(h, address);
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, EmptyBody);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, AppendToBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kDocumentTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, kDocumentTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    EndStalledTransfers(h);

    const CURLcode code = curl_easy_perform(h);
    handle.reset(); // before the header list it points at
    // A body past the limit was ended by AppendToBody: what it kept is the
    // result, as for a body that ends there.
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && body.Full()))
        return body.Text();
    return std::string();
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
    const std::string address = TransferUrl(url);
    ProgressHookScope hookScope(relay);

    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    ApplyUserProxy(h, address);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnInstallerHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &request);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &request);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_PROGRESSFUNCTION, RelayProgress);
    curl_easy_setopt(h, CURLOPT_PROGRESSDATA, &request);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxInstallerRedirects);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    // The library's default 16 KiB receive buffer costs a tenth of the
    // throughput on a fast link; take what the curl tool itself uses.
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kInstallerReceiveBuffer);
    EndStalledTransfers(h); // no overall limit: a slow but moving transfer goes on

    // A kept prefix is continued with a range; when the server answers with
    // anything but its continuation, the whole file is asked for once more.
    CURLcode code = CURLE_OK;
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
        code = curl_easy_perform(h);
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
    transfer.end = EndOf(code, request);
    if (transfer.end != TransferEnd::Complete)
        fprintf(stderr, "curl_easy_perform() failed: %s\n",
                code != CURLE_OK ? curl_easy_strerror(code) : "no usable answer");
    // The handle goes first; the hook is emptied and the global reference
    // given back as the scope ends, on both paths.
    handle.reset();
    return transfer.end == TransferEnd::Complete;
}
