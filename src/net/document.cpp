// The document fetch on libcurl's easy interface: an empty POST with
// "Content-Type:text/xml; charset=utf-8", whose body is returned when the
// answer is a 2xx. The body is bounded while it arrives (DocumentBody), so a
// server that never stops costs no more memory than one that fills the
// limit. Plain builds follow no redirect; a TLS build follows a few (CDNs
// send plain-HTTP requests on to HTTPS). Every failure is an empty body.
#include "net/document.h"
#include "net/proxy_login.h"
#include "net/tls.h"
#include "net/transfer.h"
#include "support/trace.h"

const DocumentLimits kDocumentLimits = {3000, 3000};

namespace {

constexpr long kMaxDocumentRedirects = kTlsBuild ? 10 : 0;
const char* const kDocumentHeader = "Content-Type:text/xml; charset=utf-8";

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
