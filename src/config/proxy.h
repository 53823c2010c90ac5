// The current user's proxy for one transfer, turned into libcurl's terms.
//
// libcurl does not read the proxy settings Windows keeps for the user, so
// before each transfer the program asks WinHTTP for them (proxy_win.cpp) and
// hands the answer to the transfer handle. The translation from WinHTTP's
// lists to libcurl's options is pure and lives in proxy.cpp.
#pragma once
#include <string>

// What one transfer uses. An empty proxy means the transfer goes direct.
struct CurlProxy {
    std::string proxy;   // CURLOPT_PROXY, as the settings give it
    std::string noProxy; // CURLOPT_NOPROXY, comma-separated
};

// The entry of a WinHTTP proxy list ("host:port", or "http=host:port;https=...",
// entries separated by ';' or blanks) that serves plain HTTP: the first
// "http=" entry, else the first entry without a scheme; empty when none.
std::string PickHttpProxy(const std::string& proxyList);

// The same for another scheme ("https": the first "https=" entry, else the
// first entry without a scheme).
std::string PickProxyForScheme(const std::string& proxyList, const std::string& scheme);

// A WinHTTP bypass list ("a.example;*.corp;10.*;<local>") as libcurl's
// no-proxy list: "*." and "." prefixes become a domain, trailing IPv4
// wildcards become CIDR blocks, a scheme prefix is dropped. Entries libcurl
// cannot express (other wildcards, "<local>") are left out.
std::string CurlNoProxyList(const std::string& bypassList);

// Whether the host of `url` is on the bypass list as Windows matches it:
// case-insensitive, '*' matches any run of characters, "<local>" matches a
// host without a dot.
bool BypassesProxy(const std::string& bypassList, const std::string& url);

// The proxy for `url` from a WinHTTP proxy and bypass list.
CurlProxy CurlProxyFromWinHttp(const std::string& proxyList, const std::string& bypassList,
                               const std::string& url);

// The current user's proxy for `url`, the address exactly as the transfer
// requests it (narrow, ANSI code page). Direct on the host build.
CurlProxy UserProxyForUrl(const std::string& url);

// Applies the user's proxy for `url` to a libcurl easy handle (a CURL*).
// Nothing is set when the transfer goes direct.
void ApplyUserProxy(void* handle, const std::string& url);
