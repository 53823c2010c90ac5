// Text conversions shared by every subsystem: UTF-16 for UI text, paths and
// settings; UTF-8 for XML content; the ANSI code page for URLs handed to
// libcurl. On Windows these are the system's code-page calls; the host build
// uses an equivalent converter for valid input (wchar_t is 32-bit there).
#pragma once
#include <string>

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// Formats into a fixed 131072-character buffer. "%s" takes a wide string on
// both builds. An error, or output that does not fit with its terminator,
// gives an empty string.
std::wstring FormatWString(const wchar_t* format, ...);

// Replaces every occurrence of `what` in `text`, left to right, never
// searching inserted text again. Returns the number of replacements.
int ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with);
