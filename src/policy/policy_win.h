// Reading the policy keys from the registry (policy_win.cpp).
#pragma once
#include "policy/policy.h"

// Reads both keys, decides with the settings file's Notify and makes the
// result current. Traces the values in effect (`builtInServer` for a
// ServerUrl no policy sets), each refused value, and a switch-off.
EffectivePolicy ReadPolicyAtStartup(const std::wstring& settingsNotify,
                                    const std::wstring& builtInServer);

// Reads both keys again (the settings file stays as start-up read it) and
// makes the result current; true, with a trace line, when Notify is now off.
bool PolicySwitchesOffAtArrival();
