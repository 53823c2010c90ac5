// The precedence of the policy keys over the settings file and the built-in
// values, the checks a policy value must pass, and the process's copy of the
// values in effect.
#include "policy/policy.h"

#include "support/text.h"

#include <cwctype>
#include <mutex>

namespace {

const wchar_t kOff[] = L"off";
const unsigned long kMaxPort = 65535;

std::mutex g_policyMutex;
EffectivePolicy g_policy; // guarded by g_policyMutex

std::wstring Lower(const std::wstring& text) {
    std::wstring lower = text;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

bool IsHostChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'.';
}

bool IsHexOrColon(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F') ||
           c == L':' || c == L'.';
}

bool AllOf(const std::wstring& text, bool (*test)(wchar_t)) {
    for (wchar_t c : text)
        if (!test(c))
            return false;
    return true;
}

// "host", "host:port", "[v6]" or "[v6]:port".
bool IsAuthority(const std::wstring& authority) {
    std::wstring host = authority, port;
    const size_t close = authority.find(L']');
    if (!authority.empty() && authority[0] == L'[') {
        if (close == std::wstring::npos || close < 2 ||
            !AllOf(authority.substr(1, close - 1), IsHexOrColon))
            return false;
        host = authority.substr(0, close + 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != L':')
                return false;
            port = authority.substr(close + 2);
            if (port.empty())
                return false;
        }
    } else {
        const size_t colon = authority.find(L':');
        if (colon != std::wstring::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
            if (port.empty())
                return false;
        }
        if (host.empty() || !AllOf(host, IsHostChar))
            return false;
    }
    if (port.empty())
        return true;
    if (port.size() > 5 || !AllOf(port, [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return false;
    const unsigned long number = std::wcstoul(port.c_str(), nullptr, 10);
    return number >= 1 && number <= kMaxPort;
}

bool ParseProxyLogon(const std::wstring& text, ProxyLogon& setting) {
    const std::wstring word = Lower(text);
    if (word == L"all")
        setting = ProxyLogon::All;
    else if (word == L"configured")
        setting = ProxyLogon::Configured;
    else if (word == L"none")
        setting = ProxyLogon::None;
    else
        return false;
    return true;
}

struct Layer {
    const PolicyValue& value;
    PolicySource source;
};

std::string Refused(const char* name, PolicySource source, const std::wstring& text,
                    const std::string& why) {
    return std::string("policy: ") + name + " of " + PolicySourceName(source) + " refused (" + why +
           "): " + WideToUtf8(text);
}

} // namespace

bool AcceptServerUrl(const std::wstring& address, std::wstring& base, std::string& why) {
    const std::wstring lower = Lower(address);
    size_t rest = 0;
    if (lower.compare(0, 7, L"http://") == 0)
        rest = 7;
    else if (lower.compare(0, 8, L"https://") == 0)
        rest = 8;
    else {
        why = "not an http: or https: address";
        return false;
    }
    std::wstring authority = address.substr(rest);
    if (!authority.empty() && authority.back() == L'/')
        authority.pop_back();
    if (authority.empty()) {
        why = "no host";
        return false;
    }
    if (!IsAuthority(authority)) {
        why = "not a host with an optional port";
        return false;
    }
    base = address.substr(0, rest) + authority;
    return true;
}

EffectivePolicy DecidePolicy(const PolicyInputs& inputs) {
    EffectivePolicy policy;
    const Layer notify[] = {{inputs.machine.notify, PolicySource::MachinePolicy},
                            {inputs.user.notify, PolicySource::UserPolicy}};
    for (const Layer& layer : notify) {
        // Only "off" has an effect, so a policy cannot switch on what the
        // settings file switched off.
        if (layer.value.present && layer.value.refusal.empty() && layer.value.text == kOff) {
            policy.notifyOff = true;
            policy.notifySource = layer.source;
            break;
        }
    }
    if (!policy.notifyOff && inputs.settingsNotify == kOff) {
        policy.notifyOff = true;
        policy.notifySource = PolicySource::SettingsFile;
    }

    const Layer server[] = {{inputs.machine.serverUrl, PolicySource::MachinePolicy},
                            {inputs.user.serverUrl, PolicySource::UserPolicy}};
    for (const Layer& layer : server) {
        if (!layer.value.present)
            continue;
        std::string why = layer.value.refusal;
        std::wstring base;
        if (why.empty() && AcceptServerUrl(layer.value.text, base, why)) {
            policy.serverUrl = base;
            policy.serverUrlSource = layer.source;
            break;
        }
        policy.refused.push_back(Refused("ServerUrl", layer.source, layer.value.text, why));
    }

    const Layer logon[] = {{inputs.machine.proxyLogon, PolicySource::MachinePolicy},
                           {inputs.user.proxyLogon, PolicySource::UserPolicy}};
    for (const Layer& layer : logon) {
        if (!layer.value.present)
            continue;
        std::string why = layer.value.refusal;
        if (why.empty() && ParseProxyLogon(layer.value.text, policy.proxyLogon)) {
            policy.proxyLogonSource = layer.source;
            break;
        }
        if (why.empty())
            why = "not all, configured or none";
        policy.refused.push_back(Refused("ProxyLogon", layer.source, layer.value.text, why));
    }
    return policy;
}

bool LogonAllowed(ProxyLogon setting, bool foundByDetection) {
    switch (setting) {
    case ProxyLogon::All:
        return true;
    case ProxyLogon::Configured:
        return !foundByDetection;
    case ProxyLogon::None:
        break;
    }
    return false;
}

const char* PolicySourceName(PolicySource source) {
    switch (source) {
    case PolicySource::MachinePolicy:
        return "policy HKLM";
    case PolicySource::UserPolicy:
        return "policy HKCU";
    case PolicySource::SettingsFile:
        return "settings file";
    case PolicySource::BuiltIn:
        break;
    }
    return "built in";
}

const char* ProxyLogonName(ProxyLogon setting) {
    switch (setting) {
    case ProxyLogon::All:
        return "all";
    case ProxyLogon::Configured:
        return "configured";
    case ProxyLogon::None:
        break;
    }
    return "none";
}

std::string PolicyInEffect(const EffectivePolicy& policy, const std::wstring& builtInServer) {
    const std::wstring& server = policy.serverUrl.empty() ? builtInServer : policy.serverUrl;
    return std::string("Notify=") + (policy.notifyOff ? "off" : "on") + " (" +
           PolicySourceName(policy.notifySource) + "), ServerUrl=" + WideToUtf8(server) + " (" +
           PolicySourceName(policy.serverUrlSource) +
           "), ProxyLogon=" + ProxyLogonName(policy.proxyLogon) + " (" +
           PolicySourceName(policy.proxyLogonSource) + ")";
}

void SetCurrentPolicy(const EffectivePolicy& policy) {
    std::lock_guard<std::mutex> hold(g_policyMutex);
    g_policy = policy;
}

EffectivePolicy CurrentPolicy() {
    std::lock_guard<std::mutex> hold(g_policyMutex);
    return g_policy;
}
