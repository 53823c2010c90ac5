// The XML document family: loading (URL, text, file), saving, and the three
// readers - installer description, customer document, customer settings.
//
// Documents are parsed with entities resolved and whitespace inside texts
// kept. A load that fails to fetch, open or parse changes nothing; a document
// whose root has another name parses fine and is simply not read. Loads add
// and overwrite entries and never remove any, except that a customer-settings
// document with the expected root replaces the whole customer map.
#include "config/xml_config.h"
#include "net/document.h"
#include "support/file_ex.h"
#include "support/language.h"
#include "support/text.h"
#include "support/trace.h"

#include <tinyxml2.h>

#include <climits>
#include <cstring>

CXmlCustomersetting theCustomersetting;
CXmlCustomer theCustomer;

namespace {

const char* const kOptionRoot = "Option";
const char* const kItemsRoot = "Items";
const char* const kItem = "Item";
const char* const kCustomerId = "CustomerID";
const char* const kFlagOff = "False";

bool HasName(const tinyxml2::XMLElement* element, const char* name) {
    return element != nullptr && std::strcmp(element->Name(), name) == 0;
}

// An element's text is its first child when that child is text; otherwise
// the element has none (nullptr).
const char* ElementText(const tinyxml2::XMLElement* element) {
    const tinyxml2::XMLNode* first = element->FirstChild();
    if (first != nullptr && first->ToText() != nullptr)
        return first->Value();
    return nullptr;
}

// Leading blanks, an optional sign, then decimal digits up to the first other
// character; no digits give 0. Out-of-range numbers saturate at the int
// limits instead of overflowing.
int ReadInteger(const char* text) {
    if (text == nullptr)
        return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = (*p++ == '-');
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) {
            magnitude = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

bool ReadFlag(const char* text) {
    return text == nullptr || std::strcmp(text, kFlagOff) != 0;
}

struct LanguagePair {
    const char* simple;
    const char* spotlight;
};

LanguagePair PairFor(const std::wstring& languageCode) {
    if (languageCode == L"en")
        return {"SimplePopup_En", "SpotlightPopup_En"};
    if (languageCode == L"ko-KR")
        return {"SimplePopup_Kr", "SpotlightPopup_Kr"};
    // Chinese, Japanese and every other code.
    return {"SimplePopup_Cn", "SpotlightPopup_Cn"};
}

CustomerSetting ReadItem(const tinyxml2::XMLElement* item, const LanguagePair& pair) {
    CustomerSetting setting;
    for (const tinyxml2::XMLElement* child = item->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const char* name = child->Name();
        if (std::strcmp(name, kCustomerId) == 0)
            setting.customerId = ReadInteger(ElementText(child));
        else if (std::strcmp(name, pair.simple) == 0)
            setting.simplePopup = ReadFlag(ElementText(child));
        else if (std::strcmp(name, pair.spotlight) == 0)
            setting.spotlightPopup = ReadFlag(ElementText(child));
    }
    return setting;
}

} // namespace

bool CXmlUtil::LoadFromFile(const std::string&) {
    return false;
}
bool CXmlUtil::SaveToFile(const std::string&) {
    return false;
}

bool CXmlConfig::LoadFromUrl(const std::wstring& url) {
    return LoadFromBody(url, FetchDocument(url));
}

bool CXmlConfig::LoadFromBody(const std::wstring& url, const std::string& body) {
    if (body.empty()) {
        TraceLine("document %s: no body", WideToUtf8(url).c_str());
        return false;
    }
    const bool read = LoadFromText(body);
    TraceLine("document %s: %s, %lu bytes", WideToUtf8(url).c_str(), read ? "read" : "not XML",
              static_cast<unsigned long>(body.size()));
    return read;
}

bool CXmlConfig::LoadFromText(const std::string& text) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (doc.Parse(text.c_str(), text.size()) != tinyxml2::XML_SUCCESS)
        return false;
    ReadDocument(doc);
    return true;
}

bool CXmlConfig::LoadFromFile(const std::string& path) {
    CFileEx file;
    if (!file.Open(path, "rb"))
        return false;
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (doc.LoadFile(file.Stream()) != tinyxml2::XML_SUCCESS)
        return false;
    ReadDocument(doc);
    return true;
}

bool CXmlConfig::SaveToFile(const std::string& path) {
    tinyxml2::XMLDocument doc;
    doc.InsertEndChild(doc.NewDeclaration()); // version 1.0, UTF-8
    tinyxml2::XMLElement* root = doc.NewElement(kOptionRoot);
    doc.InsertEndChild(root);
    for (const auto& entry : values) {
        tinyxml2::XMLElement* element = doc.NewElement(entry.first.c_str());
        element->SetText(entry.second.c_str());
        root->InsertEndChild(element);
    }
    CFileEx file;
    if (!file.Open(path, "w"))
        return false;
    doc.SaveFile(file.Stream(), false);
    return true;
}

void CXmlConfig::ReadDocument(tinyxml2::XMLDocument& doc) {
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!HasName(root, kOptionRoot))
        return;
    struct InstallerKey {
        const char* name;
        const char* whenEmpty;
    };
    // "Verson" and "DownLoad" are spelled as the server's documents spell them.
    // "Signature" is optional; only an exe built with the maker's key needs it.
    static const InstallerKey kKeys[] = {
        {"Verson", "0"}, {"DownLoad", ""}, {"MD5", ""}, {"Signature", ""}};
    for (const InstallerKey& key : kKeys) {
        const tinyxml2::XMLElement* element = root->FirstChildElement(key.name);
        if (element == nullptr)
            continue;
        const char* text = ElementText(element);
        values[key.name] = text != nullptr ? text : key.whenEmpty;
    }
}

void CXmlConfig::GetValue(const std::string& key, std::string& out) const {
    const auto found = values.find(key);
    if (found != values.end())
        out = found->second;
}

void CXmlCustomer::ReadDocument(tinyxml2::XMLDocument& doc) {
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!HasName(root, kOptionRoot))
        return;
    for (const tinyxml2::XMLElement* element = root->FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        const char* text = ElementText(element);
        values[element->Name()] = text != nullptr ? text : "";
    }
}

void CXmlCustomersetting::ReadDocument(tinyxml2::XMLDocument& doc) {
    const tinyxml2::XMLElement* root = doc.RootElement();
    itemsRead = HasName(root, kItemsRoot);
    if (!itemsRead)
        return;
    ReadCustomerItems(root, GetUILanguage(), customers);
}

void ReadCustomerItems(const tinyxml2::XMLElement* root, const std::wstring& languageCode,
                       std::map<int, CustomerSetting>& customers) {
    if (!HasName(root, kItemsRoot))
        return;
    customers.clear();
    const LanguagePair pair = PairFor(languageCode);
    // The first <Item> starts the list; every later sibling element counts as
    // an item whatever its name, and elements before it are not items.
    for (const tinyxml2::XMLElement* item = root->FirstChildElement(kItem); item != nullptr;
         item = item->NextSiblingElement()) {
        const CustomerSetting setting = ReadItem(item, pair);
        customers[setting.customerId] = setting; // a later duplicate wins
    }
}

std::string GetCustomerText(const std::string& key) {
    const auto found = theCustomer.values.find(key);
    return found != theCustomer.values.end() ? found->second : std::string();
}
