// The route of one request from WinHTTP's proxy and bypass lists.
//
// Every request, each hop of a redirect included, is matched against the
// bypass list the way Windows matches it, on the host libcurl's own URL
// parser gives. libcurl gets only the outcome: the proxy or none. Its
// no-proxy list would match a domain with its subdomains ("valdry.com" also
// bypasses "download.valdry.com") and turn IPv4 wildcards into address
// blocks, both unlike Windows, so it is never handed the bypass entries.
#include "net/proxy.h"

#include "net/curl_url.h"

#include <cctype>
#include <vector>

namespace {

const char kDefaultProxyPort[] = "80";

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// WinHTTP separates list entries with ';' and with white space; a comma
// never belongs to a host name either.
std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> entries;
    std::string current;
    for (char c : list) {
        if (c == ';' || c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            if (!current.empty())
                entries.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        entries.push_back(current);
    return entries;
}

std::string WithoutScheme(const std::string& entry) {
    const size_t mark = entry.find("://");
    return mark == std::string::npos ? entry : entry.substr(mark + 3);
}

// Case-folded glob match where '*' stands for any run of characters.
bool GlobMatch(const std::string& pattern, const std::string& text) {
    size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// "[login@]host[:port]" as libcurl will read it once it is the proxy, put
// together again from what libcurl read: "http://host:port", with port 80
// when none is named. Empty when libcurl reads no host, or reads part of the
// text as something else ("proxy#x:80" would be host "proxy" on libcurl's
// default proxy port), or cannot read it at all ("proxy:http", a port above
// 65535).
std::string AsLibcurlReadsIt(const std::string& authority) {
    UrlHandle parsed(curl_url());
    CurlText host, port, user, password, other;
    if (!parsed ||
        curl_url_set(parsed.get(), CURLUPART_URL, ("http://" + authority).c_str(), 0) !=
            CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_HOST, &host.text, 0) != CURLUE_OK ||
        host.text[0] == '\0')
        return std::string();
    if (curl_url_get(parsed.get(), CURLUPART_QUERY, &other.text, 0) == CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_FRAGMENT, &other.text, 0) == CURLUE_OK)
        return std::string();
    std::string login;
    if (curl_url_get(parsed.get(), CURLUPART_USER, &user.text, 0) == CURLUE_OK) {
        login = user.text;
        if (curl_url_get(parsed.get(), CURLUPART_PASSWORD, &password.text, 0) == CURLUE_OK)
            login += std::string(":") + password.text;
        login += "@";
    }
    const bool named = curl_url_get(parsed.get(), CURLUPART_PORT, &port.text, 0) == CURLUE_OK;
    return "http://" + login + host.text + ":" + (named ? port.text : kDefaultProxyPort);
}

ProxyRoute Route(const std::string& proxy, const std::string& why) {
    ProxyRoute route;
    route.proxy = proxy;
    route.why = why;
    return route;
}

// The route from one pair of lists (manual, or an automatic answer).
ProxyRoute FromLists(const std::string& proxyList, const std::string& bypassList,
                     const std::string& host, const std::string& scheme,
                     const std::string& source) {
    const std::vector<std::string> proxies = ProxiesForScheme(proxyList, scheme);
    if (proxies.empty())
        return Route("", source + " names no proxy for " +
                             (scheme == "https" ? "HTTPS" : "plain HTTP"));
    if (BypassesProxy(bypassList, host))
        return Route("", "on the bypass list of the " + source);
    ProxyRoute route =
        Route(proxies.front(), proxies.front().empty() ? source + " says direct" : source);
    route.fallbacks.assign(proxies.begin() + 1, proxies.end());
    return route;
}

} // namespace

std::string ProxyWithPort(const std::string& entry) {
    std::string rest = entry;
    const size_t mark = rest.find("://");
    if (mark != std::string::npos) {
        if (Lower(rest.substr(0, mark)) != "http")
            return std::string();
        rest = rest.substr(mark + 3);
    }
    return AsLibcurlReadsIt(rest.substr(0, rest.find('/')));
}

std::string PickHttpProxy(const std::string& proxyList) {
    return PickProxyForScheme(proxyList, "http");
}

std::string PickProxyForScheme(const std::string& proxyList, const std::string& scheme) {
    const std::vector<std::string> proxies = ProxiesForScheme(proxyList, scheme);
    return proxies.empty() ? std::string() : proxies.front();
}

std::vector<std::string> ProxiesForScheme(const std::string& proxyList, const std::string& scheme) {
    std::vector<std::string> named, plain;
    for (const std::string& entry : SplitList(proxyList)) {
        const size_t equals = entry.find('=');
        const bool forScheme = equals != std::string::npos;
        if (forScheme && Lower(entry.substr(0, equals)) != scheme)
            continue;
        const std::string value = forScheme ? entry.substr(equals + 1) : entry;
        std::string proxy;
        if (Lower(value) != "direct") {
            proxy = ProxyWithPort(value);
            if (proxy.empty())
                continue; // nothing libcurl could use
        }
        (forScheme ? named : plain).push_back(proxy);
    }
    return named.empty() ? plain : named;
}

std::string ProxyForTrace(const std::string& proxy) {
    const size_t mark = proxy.find("://");
    const size_t start = mark == std::string::npos ? 0 : mark + 3;
    const size_t at = proxy.rfind('@');
    if (at == std::string::npos || at < start)
        return proxy;
    const size_t colon = proxy.find(':', start);
    if (colon == std::string::npos || colon > at)
        return proxy;
    return proxy.substr(0, colon) + proxy.substr(at);
}

bool BypassesProxy(const std::string& bypassList, const std::string& host) {
    const std::string name = Lower(host);
    if (name.empty())
        return false;
    for (const std::string& raw : SplitList(bypassList)) {
        const std::string entry = Lower(WithoutScheme(raw));
        if (entry == "<local>") {
            if (name.find('.') == std::string::npos && name[0] != '[')
                return true;
        } else if (GlobMatch(entry, name)) {
            return true;
        }
    }
    return false;
}

ProxyRoute ChooseProxy(const AutoProxyAnswer& automatic, const std::string& manualProxy,
                       const std::string& manualBypass, const std::string& host,
                       const std::string& scheme) {
    switch (automatic.kind) {
    case AutoProxyAnswer::Named: {
        ProxyRoute route =
            FromLists(automatic.proxy, automatic.bypass, host, scheme, "automatic configuration");
        route.detected = automatic.detected;
        return route;
    }
    case AutoProxyAnswer::Direct:
        return Route("", "automatic configuration says direct");
    case AutoProxyAnswer::NoAnswer:
    case AutoProxyAnswer::TooLate: {
        const std::string late = automatic.kind == AutoProxyAnswer::TooLate
                                     ? "no automatic answer in time"
                                     : "no automatic answer";
        if (ProxiesForScheme(manualProxy, scheme).empty())
            return Route("", late + ", no manual proxy");
        ProxyRoute route = FromLists(manualProxy, manualBypass, host, scheme, "manual setting");
        route.why = late + ", " + route.why;
        return route;
    }
    case AutoProxyAnswer::NotSet:
        break;
    }
    return FromLists(manualProxy, manualBypass, host, scheme, "manual setting");
}
