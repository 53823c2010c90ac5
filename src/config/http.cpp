// The program's two HTTP transfers, on libcurl's easy interface.
//
// FetchDocument asks for a small XML document with an empty POST and returns
// its body, whatever the status; DownloadToFile GETs the installer into a file
// and relays its progress through ProgressHook. The documents carry "https:"
// addresses but the server is reached over plain HTTP, so both rewrite the
// scheme before the transfer and restrict libcurl to HTTP, redirects included.
// A build with QMX_TLS keeps "https:" and puts each transfer under the TLS
// rules of config/tls.h; it also follows a document's redirects (CDNs send
// plain-HTTP requests on to HTTPS).
// Every failure is reported only as an empty body or a false result. The
// network may lie or stall: a document body is bounded while it arrives, and
// both transfers end when nothing arrives for a minute.
#include "config/http.h"
#include "config/proxy.h"
#include "config/text.h"
#include "config/tls.h"
#include "download/file_ex.h"

// The progress callback (CURLOPT_PROGRESSFUNCTION) is marked deprecated in
// libcurl's header; it is what the download reports through.
#define CURL_DISABLE_DEPRECATION
#include <curl/curl.h>

#include <cstdio>
#include <memory>

ProgressHookFn ProgressHook = nullptr;

namespace {

constexpr long kDocumentTimeoutSeconds = 3000; // both connect and whole transfer
// A transfer that stays below one byte a second for a minute has stalled: a
// server that keeps the connection open and sends nothing would otherwise
// hold a document fetch for 50 minutes and the installer transfer for ever.
constexpr long kStallBytesPerSecond = 1;
constexpr long kStallSeconds = 60;
constexpr long kMaxInstallerRedirects = 30;
constexpr long kMaxDocumentRedirects = 10; // TLS build only
constexpr long kInstallerReceiveBuffer = 102400;
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

size_t WriteToFile(char* data, size_t size, size_t count, void* userdata) {
    // A short count makes libcurl end the transfer with a write error.
    return fwrite(data, size, count, static_cast<FILE*>(userdata));
}

int RelayProgress(void*, double downloadTotal, double downloaded, double, double) {
    const ProgressHookFn hook = ProgressHook;
    if (!hook)
        return 0;
    // Without a Content-Length the total stays 0 and nothing is relayed.
    // Nothing may be thrown through libcurl: a display update that fails
    // (no memory for its text) is skipped.
    try {
        if (downloadTotal > 0.0 && downloadTotal >= downloaded)
            hook(ClampByteCount(downloadTotal), ClampByteCount(downloaded));
    } catch (...) {
    }
    return 0; // never cancels the transfer
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
    if (kTlsBuild) {
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxDocumentRedirects);
    }
    TlsTransferCheck tls(h);

    const CURLcode code = curl_easy_perform(h);
    handle.reset(); // before the header list it points at
    // A body past the limit was ended by AppendToBody: what it kept is the
    // result, as for a body that ends there.
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && body.Full()))
        return body.Text();
    return std::string();
}

bool DownloadToFile(const std::wstring& url, const std::string& path, ProgressHookFn relay) {
    GlobalInitReference global;
    if (!global.Ok())
        return false;
    EasyHandle handle(curl_easy_init());
    if (!handle)
        return false;
    CFileEx file;
    if (!file.Open(path, "wb"))
        return false;
    const std::string address = TransferUrl(url);
    ProgressHookScope hookScope(relay);

    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    ApplyUserProxy(h, address);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, file.Stream());
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_PROGRESSFUNCTION, RelayProgress);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxInstallerRedirects);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    // The library's default 16 KiB receive buffer costs a tenth of the
    // throughput on a fast link; take what the curl tool itself uses.
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kInstallerReceiveBuffer);
    EndStalledTransfers(h); // no overall limit: a slow but moving transfer goes on
    TlsTransferCheck tls(h);

    const CURLcode code = curl_easy_perform(h);
    file.Close();
    if (code != CURLE_OK)
        fprintf(stderr, "curl_easy_perform() failed: %s\n", curl_easy_strerror(code));
    // The handle goes first; the hook is emptied and the global reference
    // given back as the scope ends, on both paths.
    handle.reset();
    return code == CURLE_OK;
}
