// The download server in effect: an administrator's ServerUrl policy, read
// and checked by the policy room, else the built-in address.
#include "config/server.h"

#include "policy/policy.h"

std::wstring ServerBaseUrl() {
    const std::wstring fromPolicy = CurrentPolicy().serverUrl;
    return fromPolicy.empty() ? BuiltInServerBaseUrl() : fromPolicy;
}
