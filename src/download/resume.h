// Resuming the installer transfer: which response may be appended to the
// bytes already on disk, and which failed transfers are tried again.
//
// Pure decisions on plain values, so that both builds can check them; the
// transfer (config/http.cpp) and the worker (download/worker_win.cpp) act on
// what they answer.
#pragma once
#include <cstdint>
#include <string>

// The headers of one response that matter for resuming.
struct ResponseHeaders {
    long status = 0;
    std::string etag;
    std::string lastModified;
    std::string contentRange;
};

// The validator a response offers for resuming its body later, to be sent
// back in If-Range: its ETag when that is a strong one; its Last-Modified
// only when it has no ETag at all (a date may not stand in for a weak tag);
// empty otherwise, or when the value holds a control character (its body
// can then only be downloaded whole).
std::string ResponseValidator(const ResponseHeaders& response);

// "bytes FIRST-LAST/COMPLETE" of a 206; `complete` is 0 for "*". False for
// anything else, a range that ends before it starts included.
bool ParseContentRange(const std::string& value, uint64_t& first, uint64_t& last,
                       uint64_t& complete);

// What to do with the body of the final response to a request that asked for
// the file from `offset` on (0: the whole file), with If-Range `validator`.
enum class BodyUse {
    Append,      // 206 from exactly `offset` with the same validator
    FromStart,   // a whole body (200 and other 2xx): truncate, write from byte 0
    AskWhole,    // 416, or a 206 elsewhere or of another file: ask again, whole
    Refused,     // 4xx (and any status that is neither 2xx nor 5xx): fail
    ServerError, // 5xx: fail, may be tried again; the file stays as it is
};
BodyUse JudgeResponse(uint64_t offset, const std::string& validator,
                      const ResponseHeaders& response);

// How a transfer ended, for the retry rule.
enum class TransferEnd {
    Complete,
    NetworkCut,   // reset, short body, stall, no connection: worth another try
    ServerError,  // 5xx
    Refused,      // 4xx: the server said no
    LocalFailure, // the file could not be written
};

// How long a transfer may stay below one byte a second before it counts as
// stalled: a minute, but an installer try after one of the same run received
// bytes has shown the server does answer, and a try that stalls again ends
// sooner, so that a server stalling every time fails the run in about two
// minutes. A transfer that keeps moving, however slowly, is never cut.
constexpr long kFirstStallSeconds = 60;
constexpr long kRetryStallSeconds = 15;
long StallSeconds(bool afterFlow);

// Automatic tries after the first one, and the wait before each.
constexpr int kMaxTransferRetries = 3;
// Seconds before retry 1, 2, 3: 2, 4, 8 (0 outside that range).
unsigned RetryDelaySeconds(int retry);
// Whether a transfer that ended so, after `retriesDone` retries, is tried again.
bool MayRetry(TransferEnd end, int retriesDone);

// What the installer file on disk holds of an unfinished transfer: bytes of
// the response whose validator is kept here, for the installer named by the
// description values it was downloaded for.
struct InstallerResume {
    std::string validator; // empty: nothing to resume, the next transfer starts over
    std::string url;
    std::string md5;
    std::string signature;

    // The validator to send for this description, or empty when the
    // description names another installer (or nothing may be resumed).
    std::string ValidatorFor(const std::string& forUrl, const std::string& forMd5,
                             const std::string& forSignature) const;
};
