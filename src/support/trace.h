// The support trace: one short line per step of a decision or a download,
// for a support desk reading the debug output (DebugView on Windows). Nothing
// goes to disk and nothing is shown. docs/support-trace.md lists the lines.
#pragma once
#include <cstdarg>
#include <string>

// printf-style, narrow arguments (UTF-8 text). Each line starts with
// "QmxAssistant: ".
void TraceLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The text of one line, prefix included, cut to a bounded length; no newline.
std::string FormatTraceLine(const char* format, va_list args);

// Writes one formatted line to the platform's debug output.
void WriteTraceLine(const std::string& line);
