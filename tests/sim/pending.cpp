// PLACEHOLDER until the simulated remotes land: delete when implemented.
#include "device/device.h"
#include "config/server.h"
std::vector<std::string> EnumHidInterfacePaths() { return {}; }
std::wstring ServerBaseUrl() { return L"http://127.0.0.1:1"; }
