// PLACEHOLDER until the string tables land: delete when implemented.
#include "i18n/strings.h"
std::map<std::string, std::string> g_mapStrings;
int g_nStringTableId = 131;
std::wstring GetUILanguage() { return L"en"; }
void LoadStringTable() {}
std::wstring GetString(const std::wstring& id) { return id; }
void ApplyCustomerTexts() {}
