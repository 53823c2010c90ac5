// Text conversions for the host build, where wchar_t is a 32-bit code point
// (UTF-32) and the platform's narrow encoding is UTF-8. They give the same
// results as the Windows code-page calls for valid input: the source ends at
// its first NUL, and what cannot be represented becomes U+FFFD instead of an
// error, as the system converter does with flags 0.
#include "support/text.h"

#include <cstdarg>
#include <cstdint>
#include <cwchar>

namespace {

constexpr int kFormatCapacity = 131072; // formatter buffer, terminator included
constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c > kMaxCodePoint || IsSurrogate(c))
        c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one sequence at `p` (NUL-terminated input); advances `p` past what
// it consumed. A malformed sequence yields U+FFFD and consumes one byte.
char32_t DecodeUtf8(const unsigned char*& p) {
    const unsigned char lead = *p;
    if (lead < 0x80) {
        ++p;
        return lead;
    }
    struct LeadForm {
        unsigned char first, last, payloadMask;
        int trail;
        char32_t minimum; // smallest code point of this length (no overlong forms)
    };
    static const LeadForm kForms[] = {
        {0xC2, 0xDF, 0x1F, 1, 0x80},
        {0xE0, 0xEF, 0x0F, 2, 0x800},
        {0xF0, 0xF4, 0x07, 3, 0x10000},
    };
    const LeadForm* form = nullptr;
    for (const LeadForm& f : kForms)
        if (lead >= f.first && lead <= f.last)
            form = &f;
    if (form == nullptr) {
        ++p;
        return kReplacement;
    }
    const int trail = form->trail;
    const char32_t minimum = form->minimum;
    char32_t c = lead & form->payloadMask;
    for (int i = 1; i <= trail; ++i) {
        // The terminating NUL is not a continuation byte, so this never reads
        // past the end of the string.
        if ((p[i] & 0xC0) != 0x80) {
            ++p;
            return kReplacement;
        }
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < minimum || c > kMaxCodePoint || IsSurrogate(c)) {
        ++p;
        return kReplacement;
    }
    p += trail + 1;
    return c;
}

// glibc reads "%s" and "%c" in a wide format as narrow; the program's formats
// mean wide text there, as the Windows runtime reads them. Rewrites those
// conversions to "%ls" / "%lc" ("%hs" / "%hc" to the narrow forms).
std::wstring WideFormatForGlibc(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p;) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        out += *p++;
        if (*p == L'%') {
            out += *p++;
            continue;
        }
        while (*p && std::wcschr(L"-+ #0'123456789*.", *p))
            out += *p++;
        bool sized = false;
        bool narrow = false;
        while (*p && std::wcschr(L"hlLqjzt", *p)) {
            if (*p == L'h')
                narrow = true;
            sized = true;
            out += *p++;
        }
        if (*p == L's' || *p == L'c') {
            if (!sized)
                out += L'l';
            else if (narrow)
                out.pop_back(); // "%hs": the single 'h' goes, glibc's "%s" is narrow
        }
        if (*p)
            out += *p++;
    }
    return out;
}

} // namespace

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    for (const wchar_t* p = text.c_str(); *p; ++p)
        AppendUtf8(out, static_cast<char32_t>(static_cast<uint32_t>(*p)));
    return out;
}

std::string WideToAnsi(const std::wstring& text) {
    return WideToUtf8(text);
}

std::wstring Utf8ToWide(const std::string& text) {
    std::wstring out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.c_str());
    while (*p)
        out += static_cast<wchar_t>(DecodeUtf8(p));
    return out;
}

std::wstring FormatWString(const wchar_t* format, ...) {
    const std::wstring glibcFormat = WideFormatForGlibc(format);
    wchar_t buffer[kFormatCapacity];
    va_list args;
    va_start(args, format);
    // vswprintf answers -1 when the text with its terminator does not fit.
    const int written = std::vswprintf(buffer, kFormatCapacity, glibcFormat.c_str(), args);
    va_end(args);
    if (written < 0)
        return std::wstring();
    return std::wstring(buffer, static_cast<size_t>(written));
}
