// The Range, If-Range and Content-Range rules of the installer transfer:
// which validator a response offers for continuing its body later, and
// which final response may be appended to the bytes already on disk.
//
// Pure decisions on plain values, so that both builds can check them; the
// installer transfer (net/installer.cpp) acts on what they answer.
#pragma once
#include <cstdint>
#include <string>

// The headers of one response that matter for resuming.
struct ResponseHeaders {
    long status = 0;
    std::string etag;
    std::string lastModified;
    std::string contentRange;
    std::string contentLength;
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

// The whole file's size as a response announces it: a 206's total from
// Content-Range, any other 2xx its Content-Length; 0 when it says none ("*",
// no length, or a value that does not parse).
uint64_t AnnouncedTotal(const ResponseHeaders& response);

// What to do with the body of the final response to a request that asked for
// the file from `offset` on (0: the whole file), with If-Range `validator`.
// `keptTotal` is the file's size as first announced for the kept bytes (0:
// not known): a 206 that announces another size, or whose range reaches past
// it, belongs to another file whatever its validator says.
enum class BodyUse {
    Append,      // 206 from exactly `offset` with the same validator
    FromStart,   // a whole body (200 and other 2xx): truncate, write from byte 0
    AskWhole,    // 416, or a 206 elsewhere or of another file: ask again, whole
    Refused,     // 4xx (and any status that is neither 2xx nor 5xx): fail
    ServerError, // 5xx: fail, may be tried again; the file stays as it is
};
BodyUse JudgeResponse(uint64_t offset, const std::string& validator, uint64_t keptTotal,
                      const ResponseHeaders& response);
