// The host build has no per-user proxy settings to read: every request goes
// direct (libcurl's proxy environment variables are not used either).
#include "net/proxy.h"

ProxyRoute UserProxyForUrl(const std::string&, const std::string&, bool& consulted) {
    consulted = false;
    return ProxyRoute();
}

void PrepareUserProxy() {}
