// PLACEHOLDER until the config subsystem lands: delete this file when
// text/http/xml_config are implemented.
#include "config/http.h"
#include "config/text.h"
#include "config/xml_config.h"
#include <cstdarg>
ProgressHookFn ProgressHook = nullptr;
std::string WideToUtf8(const std::wstring& t) { return std::string(t.begin(), t.end()); }
std::wstring Utf8ToWide(const std::string& t) { return std::wstring(t.begin(), t.end()); }
std::string WideToAnsi(const std::wstring& t) { return std::string(t.begin(), t.end()); }
std::wstring FormatWString(const wchar_t*, ...) { return std::wstring(); }
int ReplaceAll(std::wstring&, const std::wstring&, const std::wstring&) { return 0; }
std::string FetchDocument(const std::wstring&) { return std::string(); }
bool DownloadToFile(const std::wstring&, const std::string&, ProgressHookFn) { return false; }
bool CXmlUtil::LoadFromFile(const std::string&) { return false; }
bool CXmlUtil::SaveToFile(const std::string&) { return false; }
bool CXmlConfig::LoadFromFile(const std::string&) { return false; }
bool CXmlConfig::SaveToFile(const std::string&) { return false; }
bool CXmlConfig::LoadFromUrl(const std::wstring&) { return false; }
bool CXmlConfig::LoadFromText(const std::string&) { return false; }
void CXmlConfig::ReadDocument(tinyxml2::XMLDocument&) {}
void CXmlConfig::GetValue(const std::string&, std::string&) const {}
void CXmlCustomer::ReadDocument(tinyxml2::XMLDocument&) {}
void CXmlCustomersetting::ReadDocument(tinyxml2::XMLDocument&) {}
CXmlCustomersetting theCustomersetting;
CXmlCustomer theCustomer;
std::string GetCustomerText(const std::string&) { return std::string(); }
