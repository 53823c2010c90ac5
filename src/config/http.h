// The program's two network operations on libcurl's easy interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "download/resume.h"

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
// 4 GiB and more give the largest value.
uint32_t ClampByteCount(uint64_t bytes);

// Time limits of one document fetch, in seconds: to connect (each hop), and
// for the whole fetch, every redirect and proxy lookup included.
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

// Receives the installer's bytes as they reach the file, in file order.
class WrittenBytesSink {
  public:
    // The file was emptied: what was fed so far no longer counts.
    virtual void Restart() = 0;
    virtual void Feed(const void* data, size_t size) = 0;

  protected:
    ~WrittenBytesSink() = default;
};

// One installer transfer that may continue a file left by an earlier one.
struct InstallerTransfer {
    // In: the validator of the response the file's bytes came from; empty
    // to download the whole file into an emptied file.
    std::string validator;
    // In: fed with every byte the file holds once the transfer ends well:
    // a kept prefix is read back into it first. May be null.
    WrittenBytesSink* sink = nullptr;
    // In: an earlier try of this run received bytes, so a stall is judged
    // sooner (StallSeconds).
    bool afterFlow = false;

    // Out: the offset asked for with Range (0: the whole file).
    uint64_t offset = 0;
    // Out: the final response's status (0 when none came).
    long status = 0;
    // Out: whether the body was appended to bytes already on disk.
    bool appended = false;
    // Out: the validator of the response the file's bytes now come from;
    // empty when they cannot be resumed.
    std::string fileValidator;
    // Out: body bytes received on the wire, all responses counted.
    uint64_t bodyBytes = 0;
    TransferEnd end = TransferEnd::LocalFailure;
};

// GETs `url` (up to 30 redirects followed, each hop routed on its own) into
// the file at the UTF-8 path `path`, relaying progress to `relay` through
// ProgressHook. No overall time limit, but a transfer that receives nothing
// for a minute (StallSeconds) fails. With a validator,
// asks only for the bytes past those on disk; a server that answers with
// anything but those very bytes gets the whole file asked of it. Only a 2xx
// body is written: any other status fails the transfer (a proxy that wants a
// login, 407, included).
bool DownloadToFile(const std::wstring& url, const std::string& path, ProgressHookFn relay,
                    InstallerTransfer& transfer);
// The same for the whole file.
bool DownloadToFile(const std::wstring& url, const std::string& path, ProgressHookFn relay);
