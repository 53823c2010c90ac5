// The popup's languages: which of the four built-in string tables a language
// code selects, which customer-document keys hold the per-customer
// title and offer text, and the string map the popup's fixed texts come
// from. Loading the table from the resources and setting the customer texts
// need the window system and live in strings_win.cpp.
#include "i18n/strings.h"

#include "config/xml_config.h"
#include "support/text.h"

#include <tinyxml2.h>

std::map<std::string, std::string> g_mapStrings;
int g_nStringTableId = IDR_STRINGS_ZH;

namespace {

const char kRootName[] = "StringTable";
const char kEntryName[] = "String";
const char kIdAttribute[] = "Id";

} // namespace

int StringTableIdFor(const std::wstring& code) {
    if (code == L"en")
        return IDR_STRINGS_EN;
    if (code == L"ko-KR")
        return IDR_STRINGS_KO;
    if (code == L"rb-JP")
        return IDR_STRINGS_JA;
    return IDR_STRINGS_ZH;
}

void CustomerTextKeys(const std::wstring& code, std::string& first, std::string& second) {
    if (code == L"zh-CN") {
        first = "Chinese1";
        second = "Chinese2";
    } else if (code == L"ko-KR") {
        first = "Korea1";
        second = "Korea2";
    } else if (code == L"rb-JP") {
        first = "Japanese1";
        second = "Japanese2";
    } else {
        first = "English1";
        second = "English2";
    }
}

void ChooseCustomerTexts(const std::wstring& code, std::string& title, std::string& text) {
    std::string firstKey, secondKey;
    CustomerTextKeys(code, firstKey, secondKey);
    title = GetCustomerText(firstKey);
    text = GetCustomerText(secondKey);
    if (title.empty())
        title = GetCustomerText("English1");
    if (text.empty())
        text = GetCustomerText("English2");
}

bool ParseStringTable(const char* xml, size_t length) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (xml == nullptr || doc.Parse(xml, length) != tinyxml2::XML_SUCCESS)
        return false;
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (root == nullptr || std::string(root->Name()) != kRootName)
        return true;
    // From the first String element on, every sibling element is read,
    // whatever its name; its id must be its first attribute.
    for (const tinyxml2::XMLElement* item = root->FirstChildElement(kEntryName); item;
         item = item->NextSiblingElement()) {
        const tinyxml2::XMLAttribute* attribute = item->FirstAttribute();
        if (attribute == nullptr || std::string(attribute->Name()) != kIdAttribute)
            continue;
        std::string text;
        const tinyxml2::XMLNode* child = item->FirstChild();
        if (child != nullptr && child->ToText() != nullptr && child->Value() != nullptr)
            text = child->Value();
        g_mapStrings[attribute->Value()] = text;
    }
    return true;
}

std::wstring GetString(const std::wstring& id) {
    const auto found = g_mapStrings.find(WideToUtf8(id));
    if (found == g_mapStrings.end())
        return id;
    return Utf8ToWide(found->second);
}
