// Which value is in effect: the machine's policy over the user's, a policy
// over the settings file, the settings file over what is built in; what a
// policy value must be to count; which proxies get the logon.
#include "policy/policy.h"

#include <gtest/gtest.h>

namespace {

PolicyValue Set(const wchar_t* text) {
    PolicyValue value;
    value.present = text != nullptr;
    value.text = text ? text : L"";
    return value;
}

const PolicySource HKLM = PolicySource::MachinePolicy, HKCU = PolicySource::UserPolicy,
                   FILE_ = PolicySource::SettingsFile, BUILT_IN = PolicySource::BuiltIn;

TEST(DecidePolicy, PrecedenceOfEachValue) {
    struct Case {
        const wchar_t *machine, *user, *settings;
        bool off;
        PolicySource source;
    };
    const Case notify[] = {
        {nullptr, nullptr, L"", false, BUILT_IN}, {nullptr, nullptr, L"off", true, FILE_},
        {nullptr, L"off", L"off", true, HKCU},    {L"off", L"off", L"", true, HKLM},
        {L"on", L"off", L"", true, HKCU},         {L"on", L"on", L"off", true, FILE_},
        {L"OFF", nullptr, L"", false, BUILT_IN},
    };
    for (const Case& c : notify) {
        PolicyInputs in;
        in.machine.notify = Set(c.machine);
        in.user.notify = Set(c.user);
        in.settingsNotify = c.settings;
        const EffectivePolicy p = DecidePolicy(in);
        EXPECT_EQ(p.notifyOff, c.off) << (c.machine ? c.machine : L"-");
        EXPECT_EQ(p.notifySource, c.source) << (c.user ? c.user : L"-");
    }

    struct ServerCase {
        const wchar_t *machine, *user, *url;
        PolicySource source;
        size_t refused;
    };
    const ServerCase server[] = {
        {nullptr, nullptr, L"", BUILT_IN, 0},
        {nullptr, L"http://127.0.0.1:8080/", L"http://127.0.0.1:8080", HKCU, 0},
        {L"https://m.corp", L"http://u.corp", L"https://m.corp", HKLM, 0},
        {L"ftp://m.corp", L"http://u.corp", L"http://u.corp", HKCU, 1},
        {L"http://", nullptr, L"", BUILT_IN, 1},
    };
    for (const ServerCase& c : server) {
        PolicyInputs in;
        in.machine.serverUrl = Set(c.machine);
        in.user.serverUrl = Set(c.user);
        const EffectivePolicy p = DecidePolicy(in);
        EXPECT_EQ(p.serverUrl, c.url);
        EXPECT_EQ(p.serverUrlSource, c.source) << p.serverUrl;
        EXPECT_EQ(p.refused.size(), c.refused) << p.serverUrl;
    }

    PolicyInputs in;
    in.machine.proxyLogon = Set(L"Configured");
    in.user.proxyLogon = Set(L"none");
    EXPECT_EQ(DecidePolicy(in).proxyLogon, ProxyLogon::Configured);
    in.machine.proxyLogon = Set(L"some");
    const EffectivePolicy p = DecidePolicy(in);
    EXPECT_EQ(p.proxyLogon, ProxyLogon::None);
    EXPECT_EQ(p.proxyLogonSource, HKCU);
    ASSERT_EQ(p.refused.size(), 1u);
    EXPECT_EQ(p.refused[0],
              "policy: ProxyLogon of policy HKLM refused (not all, configured or none): some");
}

TEST(DecidePolicy, ValueOfAnotherTypeIsRefused) {
    PolicyInputs in;
    in.machine.notify = Set(L"off");
    in.machine.notify.refusal = "not a REG_SZ";
    in.machine.serverUrl = Set(L"");
    in.machine.serverUrl.refusal = "not a REG_SZ";
    const EffectivePolicy p = DecidePolicy(in);
    EXPECT_FALSE(p.notifyOff);
    EXPECT_EQ(p.serverUrl, L"");
    EXPECT_EQ(p.refused.size(), 1u);
}

TEST(AcceptServerUrl, SchemeHostAndPortOnly) {
    const wchar_t* good[] = {L"http://mirror", L"HTTPS://mirror.corp:8443/", L"http://[::1]:80"};
    const wchar_t* bad[] = {L"mirror.corp",        L"file://c:/x",     L"http://mirror/path",
                            L"http://a b",         L"http://mirror:0", L"http://mirror:65536",
                            L"http://user@mirror", L"http://[::1",     L"http://mirror:"};
    std::wstring base;
    std::string why;
    for (const wchar_t* address : good)
        EXPECT_TRUE(AcceptServerUrl(address, base, why)) << address;
    for (const wchar_t* address : bad)
        EXPECT_FALSE(AcceptServerUrl(address, base, why)) << address;
}

TEST(LogonAllowed, ConfiguredKeepsTheLogonFromDetectedProxies) {
    EXPECT_TRUE(LogonAllowed(ProxyLogon::All, true));
    EXPECT_TRUE(LogonAllowed(ProxyLogon::Configured, false));
    EXPECT_FALSE(LogonAllowed(ProxyLogon::Configured, true));
    EXPECT_FALSE(LogonAllowed(ProxyLogon::None, false));
}

} // namespace
