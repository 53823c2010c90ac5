// What an administrator's Group Policy decides, and which value is in effect.
//
// Three values may be set under Software\Policies\Valdry\QmxAssistant, in the
// machine's key (HKLM) and in the user's (HKCU): Notify, ServerUrl and
// ProxyLogon. A value in the machine's key wins over the user's, a policy
// wins over the settings file, and the settings file over what is built in.
// Both keys are writable by administrators only, so a user cannot loosen
// what IT set. The decision is pure (DecidePolicy); policy_win.cpp reads the
// keys at start-up and again at each arrival and keeps the result here, where
// the rooms above read it (CurrentPolicy).
#pragma once
#include <string>
#include <vector>

// The key under HKLM and HKCU, and the names of its values.
#define QMX_POLICY_KEY L"Software\\Policies\\Valdry\\QmxAssistant"
#define QMX_POLICY_NOTIFY L"Notify"
#define QMX_POLICY_SERVER_URL L"ServerUrl"
#define QMX_POLICY_PROXY_LOGON L"ProxyLogon"

enum class PolicySource { MachinePolicy, UserPolicy, SettingsFile, BuiltIn };

// Which proxies get the user's Windows logon when they ask for a login:
// every one; only the manual proxy and those a configured setup script
// names (never one found by automatic detection, WPAD); none.
enum class ProxyLogon { All, Configured, None };

// One value as a policy key holds it. `refusal` says why a value that is
// there could not be taken as text (another type, too long).
struct PolicyValue {
    bool present = false;
    std::wstring text;
    std::string refusal;
};

struct PolicyKeyValues {
    PolicyValue notify;
    PolicyValue serverUrl;
    PolicyValue proxyLogon;
};

struct PolicyInputs {
    PolicyKeyValues machine;
    PolicyKeyValues user;
    std::wstring settingsNotify; // Notify of the settings file, "" when unset
};

struct EffectivePolicy {
    bool notifyOff = false;
    PolicySource notifySource = PolicySource::BuiltIn;
    std::wstring serverUrl; // empty: the built-in address
    PolicySource serverUrlSource = PolicySource::BuiltIn;
    ProxyLogon proxyLogon = ProxyLogon::All;
    PolicySource proxyLogonSource = PolicySource::BuiltIn;
    std::vector<std::string> refused; // one trace line's text per refused value
};

// The values in effect. Notify is off when any layer says exactly "off"
// (no layer can switch it back on); the source named is the first of them.
// A ServerUrl must be an "http:" or "https:" address of a host with an
// optional port, and a ProxyLogon one of "all", "configured", "none" (in any
// case); anything else is refused and the next layer decides.
EffectivePolicy DecidePolicy(const PolicyInputs& inputs);

// Whether `address` may serve as the download server's base address; when
// not, `why` says so. A trailing '/' is taken off `base`.
bool AcceptServerUrl(const std::wstring& address, std::wstring& base, std::string& why);

// Whether a proxy gets the logon under `setting`; `foundByDetection`: the
// proxy was named by automatic detection (WPAD).
bool LogonAllowed(ProxyLogon setting, bool foundByDetection);

// "Notify=on (built in), ServerUrl=https://... (policy HKLM), ProxyLogon=all
// (built in)": the start-up's trace line; `builtInServer` stands for a
// ServerUrl from no policy.
std::string PolicyInEffect(const EffectivePolicy& policy, const std::wstring& builtInServer);

const char* PolicySourceName(PolicySource source);
const char* ProxyLogonName(ProxyLogon setting);

// The values in effect for the whole process: set by the reads at start-up
// and at each arrival (UI thread), read by any thread.
void SetCurrentPolicy(const EffectivePolicy& policy);
EffectivePolicy CurrentPolicy();
