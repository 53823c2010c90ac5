// The Range rules of the installer transfer (see range.h).
// Everything here reads values a server sent, so nothing is assumed about
// their form: a header that does not parse counts as absent.
#include "net/range.h"

#include <cctype>

namespace {

constexpr long kPartialContent = 206;
constexpr long kRangeNotSatisfiable = 416;

bool ParseNumber(const std::string& text, size_t& at, uint64_t& value) {
    const size_t start = at;
    value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        const uint64_t digit = static_cast<uint64_t>(text[at] - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
        ++at;
    }
    return at > start;
}

bool Expect(const std::string& text, size_t& at, char c) {
    if (at >= text.size() || text[at] != c)
        return false;
    ++at;
    return true;
}

} // namespace

std::string ResponseValidator(const ResponseHeaders& response) {
    // Echoed into a request header: a CR, LF or other control character
    // would start a header of the server's choosing.
    const auto usable = [](const std::string& value) {
        for (char c : value)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                return std::string();
        return value;
    };
    // A weak tag ("W/...") may not be sent in If-Range, and RFC 9110 13.1.5
    // allows a date there only when the response has no tag. A strong ETag
    // is a quoted string, which also tells it from a date when it comes back.
    if (response.etag.empty())
        return usable(response.lastModified);
    if (response.etag.size() >= 2 && response.etag.front() == '"' && response.etag.back() == '"')
        return usable(response.etag);
    return std::string();
}

bool ParseContentRange(const std::string& value, uint64_t& first, uint64_t& last,
                       uint64_t& complete) {
    static const std::string kUnit = "bytes ";
    if (value.compare(0, kUnit.size(), kUnit) != 0)
        return false;
    size_t at = kUnit.size();
    if (!ParseNumber(value, at, first) || !Expect(value, at, '-') ||
        !ParseNumber(value, at, last) || !Expect(value, at, '/') || last < first)
        return false;
    if (at < value.size() && value[at] == '*') {
        complete = 0;
        ++at;
    } else if (!ParseNumber(value, at, complete) || last >= complete) {
        return false;
    }
    return at == value.size();
}

uint64_t AnnouncedTotal(const ResponseHeaders& response) {
    if (response.status == kPartialContent) {
        uint64_t first = 0, last = 0, complete = 0;
        return ParseContentRange(response.contentRange, first, last, complete) ? complete : 0;
    }
    size_t at = 0;
    uint64_t length = 0;
    if (response.status < 200 || response.status >= 300 ||
        !ParseNumber(response.contentLength, at, length) || at != response.contentLength.size())
        return 0;
    return length;
}

BodyUse JudgeResponse(uint64_t offset, const std::string& validator, uint64_t keptTotal,
                      const ResponseHeaders& response) {
    const long status = response.status;
    if (status == kPartialContent) {
        uint64_t first = 0, last = 0, complete = 0;
        const bool parsed = ParseContentRange(response.contentRange, first, last, complete);
        const bool sameFile =
            offset == 0 || (!validator.empty() && ResponseValidator(response) == validator);
        // A server may answer a changed file with the old validator; the
        // size first announced must hold too.
        const bool sameSize = offset == 0 || keptTotal == 0 ||
                              (complete == 0 ? last < keptTotal : complete == keptTotal);
        if (parsed && first == offset && sameFile && sameSize)
            return BodyUse::Append;
        // Bytes from elsewhere, or of another file: unusable, unless nothing
        // was asked for, in which case asking again would get the same.
        return offset > 0 ? BodyUse::AskWhole : BodyUse::Refused;
    }
    if (status >= 200 && status < 300)
        return BodyUse::FromStart;
    if (status == kRangeNotSatisfiable && offset > 0)
        return BodyUse::AskWhole; // the kept bytes reach past the file's end
    if (status >= 500 && status < 600)
        return BodyUse::ServerError;
    return BodyUse::Refused;
}
