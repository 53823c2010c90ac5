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

// POSTs an empty body with "Content-Type:text/xml; charset=utf-8" and returns
// the body (at most 511999 bytes, cut at the first NUL); empty on failure,
// including a transfer that receives nothing for a minute.
std::string FetchDocument(const std::wstring& url);

// GETs `url` (redirects followed) into the file at the UTF-8 path `path`,
// relaying progress to `relay` through ProgressHook. No overall time limit,
// but a transfer that receives nothing for a minute fails.
bool DownloadToFile(const std::wstring& url, const std::string& path, ProgressHookFn relay);
