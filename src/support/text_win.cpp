// Text conversions on Windows: the system's code-page calls, sized first and
// then converted into a zero-filled buffer, with the source passed
// NUL-terminated so a conversion ends at the first NUL of its source.
// Flags are 0 throughout, so malformed input is substituted, not refused.
#include "support/text.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace {

// Capacity of the formatter's buffer, terminator included.
constexpr int kFormatCapacity = 131072;

std::string WideToNarrow(const std::wstring& text, UINT codePage) {
    const int size =
        WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size == 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, buffer.data(), size, nullptr, nullptr);
    return std::string(buffer.data());
}

} // namespace

std::string WideToUtf8(const std::wstring& text) {
    return WideToNarrow(text, CP_UTF8);
}

std::string WideToAnsi(const std::wstring& text) {
    return WideToNarrow(text, CP_ACP);
}

std::wstring Utf8ToWide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, buffer.data(), size);
    return std::wstring(buffer.data());
}

std::wstring FormatWString(const wchar_t* format, ...) {
    wchar_t buffer[kFormatCapacity];
    va_list args;
    va_start(args, format);
    // The runtime's own _vsnwprintf reads "%s" as a wide string in a wide
    // format. It answers -1 when the text does not fit and `count` (with no
    // terminator written) when it fits only without its terminator; both are
    // failures here.
    const int written = _vsnwprintf(buffer, kFormatCapacity, format, args);
    va_end(args);
    if (written < 0 || written >= kFormatCapacity)
        return std::wstring();
    return std::wstring(buffer, static_cast<size_t>(written));
}
