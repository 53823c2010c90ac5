// Which addresses and redirects a transfer may take, plain build or TLS
// build. Pure: the transfers (transfer.cpp, tls_check_win.cpp) and the download
// worker ask here.
#include "net/tls.h"

#include "net/curl_url.h"

#include <cctype>

namespace {

// The scheme of an address, lower case; empty when it has none.
std::string Scheme(const std::string& url) {
    size_t start = 0;
    while (start < url.size() && std::isspace(static_cast<unsigned char>(url[start])))
        ++start;
    const size_t colon = url.find(':', start);
    if (colon == std::string::npos)
        return std::string();
    std::string scheme;
    for (size_t i = start; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return std::string();
        scheme += static_cast<char>(std::tolower(c));
    }
    return scheme;
}

} // namespace

bool IsHttpsAddress(const std::string& url) {
    return Scheme(url) == "https";
}

std::string TlsCheckedHost(const std::string& url) {
    UrlHandle parsed(curl_url());
    CurlText host;
    // The scheme is read whatever protocols this build's libcurl speaks.
    if (!parsed ||
        curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_HOST, &host.text, 0) != CURLUE_OK)
        return std::string();
    return host.text;
}

bool RedirectAllowed(const std::string& from, const std::string& to, bool tls) {
    return !tls || !IsHttpsAddress(from) || IsHttpsAddress(to);
}

bool DocumentAddressAllowed(const std::string& url, bool tls) {
    return !tls || IsHttpsAddress(url);
}
