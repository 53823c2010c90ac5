// Reading a proxy's login offer from its Proxy-Authenticate headers.
#include "net/proxy_login.h"

#include <cctype>
#include <cstring>

namespace {

const char kChallengeHeader[] = "proxy-authenticate";

bool SameText(const std::string& a, const char* b) {
    if (a.size() != strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The characters of an HTTP token (RFC 9110, 5.6.2).
bool IsTokenChar(char c) {
    return isalnum(static_cast<unsigned char>(c)) || strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

void ProxyChallenges::TakeHeaderLine(const char* line, size_t length) {
    if (length >= 5 && memcmp(line, "HTTP/", 5) == 0) {
        m_schemes.clear();
        return;
    }
    const char* colon = static_cast<const char*>(memchr(line, ':', length));
    if (colon == nullptr || !SameText(std::string(line, colon), kChallengeHeader))
        return;
    const char* end = line + length;
    const char* word = colon + 1;
    while (word < end && IsBlank(*word))
        ++word;
    const char* after = word;
    while (after < end && IsTokenChar(*after))
        ++after;
    // A scheme is a whole token, followed by nothing, a blank or a comma.
    if (after == word || static_cast<size_t>(after - word) > kMaxSchemeLength ||
        (after < end && !IsBlank(*after) && *after != ',' && *after != '\r' && *after != '\n'))
        return;
    const std::string scheme(word, after);
    for (const std::string& known : m_schemes)
        if (SameText(known, scheme.c_str()))
            return;
    if (m_schemes.size() < kMaxSchemes)
        m_schemes.push_back(scheme);
}

bool LogonAnswers(const std::vector<std::string>& schemes) {
    for (const std::string& scheme : schemes)
        if (SameText(scheme, "Negotiate") || SameText(scheme, "NTLM"))
            return true;
    return false;
}

std::string SchemeList(const std::vector<std::string>& schemes) {
    if (schemes.empty())
        return "nothing";
    std::string list;
    for (const std::string& scheme : schemes)
        list += (list.empty() ? "" : ", ") + scheme;
    return list;
}
