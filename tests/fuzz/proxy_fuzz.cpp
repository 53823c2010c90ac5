// libFuzzer entry for the proxy decision: the input is
// "proxy list|bypass list|host|kind", where kind is a digit for the automatic
// answer (0 not set, 1 none, 2 too late, 3 direct, 4 named) and an "s" after
// it asks for an https: address. Besides running clean under the sanitizers,
// every answer must keep the promises proxy.h makes; a broken one aborts.
#include "net/proxy.h"

#include <curl/curl.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool holds) {
    if (!holds)
        abort();
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Empty, or "http://host:port" as libcurl reads it: the host it connects to
// is not empty and the port it uses is the one the text ends in (without
// one, libcurl would take 1080).
void RequireProxyForm(const std::string& proxy) {
    if (proxy.empty())
        return;
    Require(proxy.rfind("http://", 0) == 0);
    const size_t colon = proxy.rfind(':');
    const std::string port = proxy.substr(colon + 1);
    Require(colon > 6 && !port.empty() && port.size() <= 5 &&
            port.find_first_not_of("0123456789") == std::string::npos);
    struct Parsed {
        CURLU* url = curl_url();
        char* host = nullptr;
        char* port = nullptr;
        ~Parsed() {
            curl_free(host);
            curl_free(port);
            curl_url_cleanup(url);
        }
    } parsed;
    Require(parsed.url && curl_url_set(parsed.url, CURLUPART_URL, proxy.c_str(), 0) == CURLUE_OK);
    Require(curl_url_get(parsed.url, CURLUPART_HOST, &parsed.host, 0) == CURLUE_OK &&
            parsed.host[0] != '\0');
    Require(curl_url_get(parsed.url, CURLUPART_PORT, &parsed.port, 0) == CURLUE_OK &&
            port == parsed.port);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> part(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '|' && part.size() < 4)
            part.emplace_back();
        else
            part.back() += static_cast<char>(data[i]);
    }
    part.resize(4);
    const std::string &list = part[0], &bypass = part[1], &host = part[2], &kind = part[3];

    // One entry as the list reader hands it over: no separator in it.
    const char separators[] = ";, \t\n\v\f\r";
    if (list.find_first_of(separators) == std::string::npos)
        RequireProxyForm(ProxyWithPort(list));
    const std::string http = PickProxyForScheme(list, "http");
    const std::string https = PickProxyForScheme(list, "https");
    RequireProxyForm(http);
    RequireProxyForm(https);
    Require(PickHttpProxy(list) == http);

    const bool bypassed = BypassesProxy(bypass, host);
    Require(BypassesProxy(Upper(bypass), Upper(host)) == bypassed);
    Require(BypassesProxy("*", host) == !host.empty());
    Require(!bypassed || BypassesProxy(bypass + ";other.invalid", host));
    // A host named in full on the list is bypassed (a host libcurl gives
    // holds no list separator, no scheme and no wildcard).
    if (!host.empty() && host.find_first_of(separators) == std::string::npos &&
        host.find('*') == std::string::npos && host.find("://") == std::string::npos &&
        Upper(host) != "<LOCAL>")
        Require(BypassesProxy(bypass + ";" + host, host));

    AutoProxyAnswer automatic;
    automatic.kind =
        kind.empty()
            ? AutoProxyAnswer::NotSet
            : static_cast<AutoProxyAnswer::Kind>(static_cast<unsigned char>(kind[0] - '0') % 5);
    const std::string scheme = kind.size() > 1 && kind[1] == 's' ? "https" : "http";
    const std::string picked = scheme == "https" ? https : http;
    automatic.proxy = list;
    automatic.bypass = bypass;
    const ProxyRoute route = ChooseProxy(automatic, "manual.invalid:3128", bypass, host, scheme);
    Require(!route.why.empty());
    for (const std::string& next : route.fallbacks)
        RequireProxyForm(next);
    switch (automatic.kind) {
    case AutoProxyAnswer::Named:
        Require(route.proxy == (bypassed ? "" : picked));
        break;
    case AutoProxyAnswer::Direct:
        Require(route.proxy.empty());
        break;
    default:
        Require(route.proxy == (bypassed ? "" : "http://manual.invalid:3128"));
        Require(ChooseProxy(automatic, list, bypass, host, scheme).proxy ==
                (bypassed ? "" : picked));
        Require(ChooseProxy(automatic, "", bypass, host, scheme).proxy.empty());
    }
    return 0;
}
