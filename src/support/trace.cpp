// Formatting of the support trace's lines; where they go is the platform's
// part (trace_win.cpp, trace_posix.cpp).
#include "support/trace.h"

#include <cstdio>

namespace {
const char kPrefix[] = "QmxAssistant: ";
// Addresses and device paths are the longest things a line carries.
const size_t kMaxLine = 1024;
} // namespace

std::string FormatTraceLine(const char* format, va_list args) {
    char buffer[kMaxLine];
    const int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
    if (length < 0)
        return std::string(kPrefix);
    return std::string(kPrefix) + buffer; // cut at the buffer's size
}

void TraceLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string line = FormatTraceLine(format, args);
    va_end(args);
    WriteTraceLine(line);
}
