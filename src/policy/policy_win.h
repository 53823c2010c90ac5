// Reading the policy keys from the registry (policy_win.cpp).
#pragma once
#include "policy/policy.h"

// Reads both keys, decides with the settings file's Notify and makes the
// result current. Traces the values in effect, each refused value, and a
// switch-off. `builtInServer` gives the address for a ServerUrl no policy
// sets; a program that is switched off does not ask for it (it looks nothing
// up once off) and shows it as "-".
EffectivePolicy ReadPolicyAtStartup(const std::wstring& settingsNotify,
                                    std::wstring (*builtInServer)());

// Reads both keys again (the settings file stays as start-up read it) and
// makes the result current; true, with a trace line, when Notify is now off.
bool PolicySwitchesOffAtArrival();
