// The XML document family: customer settings, customer document, installer
// description (and the device-table holder, which never loads a document).
// Values are kept as UTF-8 in ordered maps; loads add and overwrite entries
// and never remove any.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
} // namespace tinyxml2

class CXmlUtil {
  public:
    virtual bool LoadFromFile(const std::string& path);
    virtual bool SaveToFile(const std::string& path);
};

class CXmlConfig : public CXmlUtil {
  public:
    bool LoadFromFile(const std::string& path) override;
    bool SaveToFile(const std::string& path) override;
    virtual bool LoadFromUrl(const std::wstring& url);
    // Reads `body` as fetched from `url` (empty: the fetch failed), with the
    // trace lines of a load; LoadFromUrl for a body fetched another way
    // (net/document_wait.h).
    bool LoadFromBody(const std::wstring& url, const std::string& body);
    virtual bool LoadFromText(const std::string& text);
    virtual void ReadDocument(tinyxml2::XMLDocument& doc);

    // Sets `out` to the value of `key` when present; otherwise leaves it.
    void GetValue(const std::string& key, std::string& out) const;

    std::map<std::string, std::string> values;
};

// Holder of the supported-device tables (filled in device/device_table.cpp).
class CXmlHidConfig : public CXmlConfig {
  public:
    CXmlHidConfig();
    std::vector<std::string> supportedInterfaces; // 17 path fragments
    std::vector<std::string> spotlightInterfaces; // the first 11 of them
    std::string bleFragment;                      // same text as entry 11
    std::string version = "0.0";
};

class CXmlCustomer : public CXmlConfig {
  public:
    void ReadDocument(tinyxml2::XMLDocument& doc) override;
};

struct CustomerSetting {
    int customerId = 0;
    bool simplePopup = true;
    bool spotlightPopup = true;
};

class CXmlCustomersetting : public CXmlConfig {
  public:
    void ReadDocument(tinyxml2::XMLDocument& doc) override;
    std::map<int, CustomerSetting> customers;
    // Whether the last document read had the root Items: only such a
    // document is the customer settings (an error page may parse as well).
    bool itemsRead = false;
};

// Reads the items of a customer-settings root for one UI language code
// ("en" -> _En pair, "ko-KR" -> _Kr pair, anything else -> _Cn pair) into
// `customers`, which it empties first. A null root, or one not named Items,
// leaves `customers` as it is.
void ReadCustomerItems(const tinyxml2::XMLElement* root, const std::wstring& languageCode,
                       std::map<int, CustomerSetting>& customers);

extern CXmlHidConfig theHidConfig;
extern CXmlCustomersetting theCustomersetting;
extern CXmlCustomer theCustomer;

// Value of `key` in the customer document, or empty.
std::string GetCustomerText(const std::string& key);
