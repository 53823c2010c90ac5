// The program's two network operations on libcurl's easy interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Progress target during a file download: (total bytes, bytes received).
typedef void (*ProgressHookFn)(uint32_t total, uint32_t received);
extern ProgressHookFn ProgressHook;

// What a document fetch keeps of a body: its first 511999 bytes, held while
// receiving, so a body that never ends costs no more memory than one that
// fills the limit.
class DocumentBody {
  public:
    static constexpr size_t kLimit = 511999;
    // Keeps what still fits; false once bytes had to be dropped, which ends
    // the transfer (everything after the limit would be cut anyway).
    bool Append(const char* data, size_t size);
    // Whether bytes past the limit arrived (the body is complete as kept).
    bool Full() const { return m_full; }
    // The kept bytes up to the first NUL.
    std::string Text() const;

  private:
    std::string m_kept;
    bool m_full = false;
};

// A byte count from libcurl's progress figures as an unsigned 32-bit value:
// 4 GiB and more give the largest value, negative or not-a-number 0.
uint32_t ClampByteCount(double bytes);

// Time limits of one document fetch, in seconds.
struct DocumentLimits {
    long connectSeconds;
    long totalSeconds;
};
// What a document fetch allows unless told otherwise: 3000 s (50 minutes)
// both to connect and for the whole transfer.
extern const DocumentLimits kDocumentLimits;

// The host a request to `url` connects to and the address as libcurl's own
// URL parser reads it (scheme guessed where missing, as libcurl does for a
// transfer). False when libcurl would refuse the address.
bool ParseRequestUrl(const std::string& url, std::string& host, std::string& normalized);

// POSTs an empty body with "Content-Type:text/xml; charset=utf-8" and returns
// the body (at most 511999 bytes, cut at the first NUL); empty on failure,
// including an answer whose HTTP status is not 2xx (an error page, a captive
// portal's or a proxy's login page) and a transfer that receives nothing for
// a minute. Redirects are not followed.
std::string FetchDocument(const std::wstring& url);
std::string FetchDocument(const std::wstring& url, const DocumentLimits& limits);

// GETs `url` (up to 30 redirects followed, each hop routed on its own) into
// the file at the UTF-8 path `path`, relaying progress to `relay` through
// ProgressHook. No overall time limit, but a transfer that receives nothing
// for a minute fails, and so does one a proxy refuses for want of a login.
bool DownloadToFile(const std::wstring& url, const std::string& path, ProgressHookFn relay);
