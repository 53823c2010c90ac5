// The installer transfer: a GET of the installer into a file, continuing
// the bytes an earlier try left when the server confirms they belong to the
// same file. What reaches the file is handed to a sink as it is written, so
// whoever checks the file never has to read it back.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Progress target during a file download: (total bytes, bytes received).
typedef void (*ProgressHookFn)(uint32_t total, uint32_t received);
extern ProgressHookFn ProgressHook;

// A byte count from libcurl's progress figures as an unsigned 32-bit value:
// 4 GiB and more give the largest value.
uint32_t ClampByteCount(uint64_t bytes);

// How a transfer ended, for the retry rule.
enum class TransferEnd {
    Complete,
    NetworkCut,   // reset, short body, stall, no connection: worth another try
    ServerError,  // 5xx
    Refused,      // 4xx: the server said no
    LocalFailure, // the file could not be written
};

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
    // In: the file's size as first announced for the kept bytes (0: not
    // known). An answer that announces another size starts the file over.
    uint64_t total = 0;

    // Out: the offset asked for with Range (0: the whole file).
    uint64_t offset = 0;
    // Out: the final response's status (0 when none came).
    long status = 0;
    // Out: whether the body was appended to bytes already on disk.
    bool appended = false;
    // Out: the validator of the response the file's bytes now come from;
    // empty when they cannot be resumed.
    std::string fileValidator;
    // Out: the size the file's bytes belong to, to be handed back in `total`
    // with fileValidator (0: not known).
    uint64_t fileTotal = 0;
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
