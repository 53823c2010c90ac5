// The host build has no per-user proxy settings to read: every transfer goes
// direct, as it did before (libcurl's own proxy environment variables aside).
#include "config/proxy.h"

CurlProxy UserProxyForUrl(const std::string&) {
    return CurlProxy();
}
