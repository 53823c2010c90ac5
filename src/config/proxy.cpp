// Turning WinHTTP's proxy and bypass lists into libcurl's proxy options.
//
// The address a transfer starts with is matched against the bypass list the
// way Windows matches it, so the first request goes exactly where the user's
// settings send it. libcurl also gets the entries of that list it can
// express (CURLOPT_NOPROXY), for the hosts an installer redirect leads to;
// libcurl matches a domain with its subdomains there, and knows neither
// "<local>" nor wildcards inside a name.
#include "config/proxy.h"

#include "config/tls.h"
#include "support/trace.h"

#include <curl/curl.h>

#include <cctype>
#include <vector>

namespace {

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

// "10.*", "10.1.*", "10.1.2.*" as a CIDR block; empty for anything else.
std::string Ipv4WildcardAsCidr(const std::string& entry) {
    if (entry.size() < 3 || entry.compare(entry.size() - 2, 2, ".*") != 0)
        return std::string();
    const std::string head = entry.substr(0, entry.size() - 2);
    std::vector<std::string> octets;
    std::string octet;
    for (char c : head + ".") {
        if (c == '.') {
            if (octet.empty() || octet.size() > 3 || std::stoi(octet) > 255)
                return std::string();
            octets.push_back(octet);
            octet.clear();
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            octet += c;
        } else {
            return std::string();
        }
    }
    if (octets.size() > 3)
        return std::string();
    std::string block;
    for (size_t i = 0; i < 4; ++i)
        block += (i ? "." : "") + (i < octets.size() ? std::to_string(std::stoi(octets[i])) : "0");
    return block + "/" + std::to_string(8 * octets.size());
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

// The host of "scheme://user@host:port/path", lower case, IPv6 brackets kept.
std::string UrlHost(const std::string& url) {
    std::string rest = WithoutScheme(url);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    const size_t at = rest.rfind('@');
    if (at != std::string::npos)
        rest = rest.substr(at + 1);
    if (!rest.empty() && rest[0] == '[')
        return Lower(rest.substr(0, rest.find(']') + 1));
    return Lower(rest.substr(0, rest.find(':')));
}

} // namespace

std::string PickProxyForScheme(const std::string& proxyList, const std::string& scheme) {
    std::string plain;
    for (const std::string& entry : SplitList(proxyList)) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            if (plain.empty())
                plain = entry;
        } else if (Lower(entry.substr(0, equals)) == scheme && equals + 1 < entry.size()) {
            return entry.substr(equals + 1);
        }
    }
    return plain;
}

std::string PickHttpProxy(const std::string& proxyList) {
    return PickProxyForScheme(proxyList, "http");
}

std::string CurlNoProxyList(const std::string& bypassList) {
    std::string out;
    for (const std::string& raw : SplitList(bypassList)) {
        std::string entry = Lower(WithoutScheme(raw));
        if (entry.empty() || entry[0] == '<')
            continue; // "<local>" and the like: matched by BypassesProxy only
        if (entry != "*") {
            const std::string cidr = Ipv4WildcardAsCidr(entry);
            if (!cidr.empty())
                entry = cidr;
            else if (entry.compare(0, 2, "*.") == 0)
                entry = entry.substr(1); // libcurl: ".corp" is corp and below
            if (entry.find('*') != std::string::npos || entry == ".")
                continue;
        }
        out += (out.empty() ? "" : ",") + entry;
    }
    return out;
}

bool BypassesProxy(const std::string& bypassList, const std::string& url) {
    const std::string host = UrlHost(url);
    if (host.empty())
        return false;
    for (const std::string& raw : SplitList(bypassList)) {
        const std::string entry = Lower(WithoutScheme(raw));
        if (entry == "<local>") {
            if (host.find('.') == std::string::npos && host[0] != '[')
                return true;
        } else if (GlobMatch(entry, host)) {
            return true;
        }
    }
    return false;
}

CurlProxy CurlProxyFromWinHttp(const std::string& proxyList, const std::string& bypassList,
                               const std::string& url) {
    CurlProxy choice;
    // An "https:" address (TLS build only) is tunnelled through the
    // "https=" entry with CONNECT, as Windows does.
    choice.proxy = kTlsBuild && IsHttpsAddress(url) ? PickProxyForScheme(proxyList, "https")
                                                    : PickHttpProxy(proxyList);
    if (choice.proxy.empty() || BypassesProxy(bypassList, url))
        return CurlProxy();
    choice.noProxy = CurlNoProxyList(bypassList);
    return choice;
}

void ApplyUserProxy(void* handle, const std::string& url) {
    const CurlProxy choice = UserProxyForUrl(url);
    if (choice.proxy.empty())
        return;
    TraceLine("proxy %s for %s%s%s", choice.proxy.c_str(), url.c_str(),
              choice.noProxy.empty() ? "" : ", bypassed for ", choice.noProxy.c_str());
    curl_easy_setopt(static_cast<CURL*>(handle), CURLOPT_PROXY, choice.proxy.c_str());
    if (!choice.noProxy.empty())
        curl_easy_setopt(static_cast<CURL*>(handle), CURLOPT_NOPROXY, choice.noProxy.c_str());
}
