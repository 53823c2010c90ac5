// Reading the policy keys: at start-up (with the settings file's Notify) and
// again at each arrival. One RegGetValueW per value; the key is opened in
// the 64-bit view, where the Policies key lives for 32- and 64-bit programs
// alike (a 32-bit Windows ignores the flag).
#include "policy/policy_win.h"

#include "support/trace.h"

#include <windows.h>

namespace {

// A base address or a word is far shorter; a longer value is refused.
const DWORD kMaxValueChars = 1024;

std::wstring g_settingsNotify; // what start-up read, kept for the arrivals

struct KeyHold {
    HKEY key = nullptr;
    ~KeyHold() {
        if (key)
            RegCloseKey(key);
    }
};

PolicyValue ReadValue(HKEY key, const wchar_t* name) {
    PolicyValue value;
    wchar_t text[kMaxValueChars + 1] = {}; // and its terminator
    DWORD bytes = sizeof(text);
    // RRF_RT_REG_SZ: another type fails with ERROR_UNSUPPORTED_TYPE, and the
    // text comes back terminated even when it was stored without.
    const LSTATUS status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text, &bytes);
    if (status == ERROR_FILE_NOT_FOUND)
        return value;
    value.present = true;
    if (status == ERROR_SUCCESS)
        value.text = text;
    else if (status == ERROR_UNSUPPORTED_TYPE)
        value.refusal = "not a REG_SZ";
    else if (status == ERROR_MORE_DATA)
        value.refusal = "longer than 1024 characters";
    else
        value.refusal = "unreadable";
    return value;
}

PolicyKeyValues ReadKey(HKEY root) {
    PolicyKeyValues values;
    KeyHold hold;
    if (RegOpenKeyExW(root, QMX_POLICY_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &hold.key) !=
        ERROR_SUCCESS)
        return values;
    values.notify = ReadValue(hold.key, QMX_POLICY_NOTIFY);
    values.serverUrl = ReadValue(hold.key, QMX_POLICY_SERVER_URL);
    values.proxyLogon = ReadValue(hold.key, QMX_POLICY_PROXY_LOGON);
    return values;
}

EffectivePolicy ReadPolicy() {
    PolicyInputs inputs;
    inputs.machine = ReadKey(HKEY_LOCAL_MACHINE);
    inputs.user = ReadKey(HKEY_CURRENT_USER);
    inputs.settingsNotify = g_settingsNotify;
    EffectivePolicy policy = DecidePolicy(inputs);
    SetCurrentPolicy(policy);
    return policy;
}

} // namespace

EffectivePolicy ReadPolicyAtStartup(const std::wstring& settingsNotify,
                                    std::wstring (*builtInServer)()) {
    g_settingsNotify = settingsNotify;
    const EffectivePolicy policy = ReadPolicy();
    for (const std::string& line : policy.refused)
        TraceLine("%s", line.c_str());
    const std::wstring server = policy.notifyOff ? L"-" : builtInServer();
    TraceLine("policy in effect: %s", PolicyInEffect(policy, server).c_str());
    if (policy.notifyOff)
        TraceLine("switched off by Notify=off (%s): the program ends at start-up",
                  PolicySourceName(policy.notifySource));
    return policy;
}

bool PolicySwitchesOffAtArrival() {
    const EffectivePolicy policy = ReadPolicy();
    if (policy.notifyOff)
        TraceLine("switched off by Notify=off (%s): the program ends at this arrival",
                  PolicySourceName(policy.notifySource));
    return policy.notifyOff;
}
