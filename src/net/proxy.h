// The current user's proxy for one request, decided the way Windows decides.
//
// libcurl does not read the proxy settings Windows keeps for the user, so
// before each request (each hop of a redirect included) the program asks
// WinHTTP for them (proxy_win.cpp) and decides the route itself: automatic
// detection and the setup script first, the manual proxy when they give no
// answer, direct when neither names a proxy. The bypass list is matched as
// Windows matches it; libcurl's own no-proxy matching is never used. The
// decision from the lists is pure and lives in proxy.cpp.
#pragma once
#include <string>
#include <vector>

// The route of one request: an empty proxy means direct. `why` says in a few
// words what decided it, for the support trace. As Windows walks a proxy
// list, a request that cannot reach `proxy` tries each of `fallbacks` in
// turn (an empty one: direct).
struct ProxyRoute {
    std::string proxy; // CURLOPT_PROXY: "http://host:port"
    std::string why;
    std::vector<std::string> fallbacks;
    bool detected = false; // named by automatic detection (WPAD)
};

// A proxy entry in the form libcurl takes it: "host", "host:port" or
// "http://host:port" as "http://host:port", with port 80 when none is named
// (libcurl's own default would be 1080), rebuilt from what libcurl's URL
// parser reads in it. Empty for an entry libcurl would reach by another
// protocol ("socks://...", "https://..."), with no host, or that it does not
// read as a host and a port ("proxy:http", "proxy#x:80", a port above 65535).
std::string ProxyWithPort(const std::string& entry);

// The entry of a WinHTTP proxy list ("host:port", or "http=host:port;https=...",
// entries separated by ';' or blanks) that serves plain HTTP, as
// ProxyWithPort gives it: the first "http=" entry, else the first entry
// without a scheme name; empty when none (a list of only "https=" or
// "socks=" entries).
std::string PickHttpProxy(const std::string& proxyList);

// The same for the scheme "http" or "https": the first "https=" entry serves
// an "https:" address (tunnelled with CONNECT), else the first entry without
// a scheme name, as Windows picks them.
std::string PickProxyForScheme(const std::string& proxyList, const std::string& scheme);

// Every entry of the list that serves `scheme`, in the list's order, as
// ProxyWithPort gives them: the "scheme=" entries, else those without a
// scheme name. A "DIRECT" entry (a setup script's answer may end in one)
// is the direct route, an empty string, never a host of that name.
std::vector<std::string> ProxiesForScheme(const std::string& proxyList, const std::string& scheme);

// A proxy entry as a trace line may show it: any password taken out.
std::string ProxyForTrace(const std::string& proxy);

// Whether `host` (as libcurl's URL parser gives it; IPv6 in brackets) is on
// the bypass list as Windows matches it: case-insensitive, the whole host,
// '*' matches any run of characters, "<local>" matches a host without a dot.
bool BypassesProxy(const std::string& bypassList, const std::string& host);

// What automatic detection or the setup script answered for one address.
struct AutoProxyAnswer {
    enum Kind {
        NotSet,   // neither is switched on
        NoAnswer, // no answer at all (no WPAD server, script unreachable)
        TooLate,  // no answer within the bound
        Direct,   // the answer says direct
        Named,    // the answer names proxies
    } kind = NotSet;
    std::string proxy;     // WinHTTP proxy list of a Named answer
    std::string bypass;    // its bypass list
    bool detected = false; // the answer came from automatic detection, not the script
};

// Windows' order: a named automatic answer decides (its bypass list
// included), so does an automatic "direct"; without an automatic answer the
// manual proxy and its bypass list decide; direct when no proxy is set.
// `scheme` ("http", or "https" in a TLS build) picks the list entry.
ProxyRoute ChooseProxy(const AutoProxyAnswer& automatic, const std::string& manualProxy,
                       const std::string& manualBypass, const std::string& host,
                       const std::string& scheme = "http");

// The current user's route for one request to `url` (the address as
// libcurl's parser normalises it) whose host is `host`. Direct on the host
// build. `consulted` is set when any proxy setting was looked at, so that
// the plain direct case leaves no trace line.
ProxyRoute UserProxyForUrl(const std::string& url, const std::string& host, bool& consulted);

// Reads the user's proxy settings once and, when automatic detection or a
// setup script is switched on, makes the process's WinHTTP session for the
// automatic lookups now rather than at the first lookup; start-up does it
// while it waits. Changes no later answer. Nothing on the host build.
void PrepareUserProxy();
