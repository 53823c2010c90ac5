// The program's two network operations on libcurl's easy interface.
#pragma once
#include <cstdint>
#include <string>

// Progress target during a file download: (total bytes, bytes received).
typedef void (*ProgressHookFn)(uint32_t total, uint32_t received);
extern ProgressHookFn ProgressHook;

// POSTs an empty body with "Content-Type:text/xml; charset=utf-8" and returns
// the body (at most 511999 bytes, cut at the first NUL); empty on failure.
std::string FetchDocument(const std::wstring& url);

// GETs `url` (redirects followed) into the file at the UTF-8 path `path`,
// relaying progress to `relay` through ProgressHook.
bool DownloadToFile(const std::wstring& url, const std::string& path, ProgressHookFn relay);
