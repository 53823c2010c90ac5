// The document fetch: a small XML document asked for with an empty POST.
#pragma once
#include <cstddef>
#include <string>

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

// Time limits of one document fetch, in seconds: to connect (each hop), and
// for the whole fetch, every redirect and proxy lookup included.
struct DocumentLimits {
    long connectSeconds;
    long totalSeconds;
};
// What a document fetch allows unless told otherwise: 3000 s (50 minutes)
// both to connect and for the whole transfer.
extern const DocumentLimits kDocumentLimits;

// POSTs an empty body with "Content-Type:text/xml; charset=utf-8" and returns
// the body (at most 511999 bytes, cut at the first NUL); empty on failure,
// including an answer whose HTTP status is not 2xx (an error page, a captive
// portal's or a proxy's login page) and a transfer that receives nothing for
// a minute. Redirects are not followed.
std::string FetchDocument(const std::wstring& url);
std::string FetchDocument(const std::wstring& url, const DocumentLimits& limits);
