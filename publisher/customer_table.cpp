// Customer settings per UI language, asked of the assistant's own reader.
#include "customer_table.h"

#include <tinyxml2.h>

#include <cstring>

namespace qmxpublish {

namespace {

const char kItemsRoot[] = "Items";
const char kItem[] = "Item";
const char kFlagOff[] = "False";

bool FlagOf(const CustomerSetting& setting, Family family) {
    return family == Family::Simple ? setting.simplePopup : setting.spotlightPopup;
}

// Reads a document <Items><Item>copy of `element`</Item></Items> with the
// assistant's reader for `code`; the single entry it yields.
CustomerSetting ReadLoneElement(const tinyxml2::XMLElement* element, const wchar_t* code) {
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    tinyxml2::XMLElement* root = doc.NewElement(kItemsRoot);
    doc.InsertEndChild(root);
    tinyxml2::XMLElement* item = doc.NewElement(kItem);
    root->InsertEndChild(item);
    item->InsertEndChild(element->DeepClone(&doc));
    std::map<int, CustomerSetting> customers;
    ReadCustomerItems(root, code, customers);
    return customers.empty() ? CustomerSetting() : customers.begin()->second;
}

// Same, for an element made up here with the text "False".
CustomerSetting ReadSwitchedOff(const char* flagName, const wchar_t* code) {
    tinyxml2::XMLDocument scratch;
    tinyxml2::XMLElement* flag = scratch.NewElement(flagName);
    flag->SetText(kFlagOff);
    return ReadLoneElement(flag, code);
}

} // namespace

const std::vector<UiLanguage>& UiLanguages() {
    static const std::vector<UiLanguage> kLanguages = {
        {L"zh-CN", "zh-CN", "Chinese"},
        {L"en", "en", "English"},
        {L"ko-KR", "ko-KR", "Korean"},
        {L"rb-JP", "rb-JP", "Japanese"},
    };
    return kLanguages;
}

const char* FamilyName(Family family) {
    return family == Family::Simple ? "simple" : "spotlight";
}

const std::vector<FlagElement>& FlagElements() {
    static const std::vector<FlagElement> kFlags = {
        {"SimplePopup_Cn", Family::Simple}, {"SpotlightPopup_Cn", Family::Spotlight},
        {"SimplePopup_En", Family::Simple}, {"SpotlightPopup_En", Family::Spotlight},
        {"SimplePopup_Kr", Family::Simple}, {"SpotlightPopup_Kr", Family::Spotlight},
    };
    return kFlags;
}

bool IsFlagElement(const std::string& name) {
    for (const FlagElement& flag : FlagElements()) {
        if (name == flag.name)
            return true;
    }
    return false;
}

std::string DecidingFlag(const wchar_t* code, Family family) {
    for (const FlagElement& flag : FlagElements()) {
        if (flag.family == family && !FlagOf(ReadSwitchedOff(flag.name, code), family))
            return flag.name;
    }
    return std::string();
}

bool TreatedFlag(const tinyxml2::XMLElement* flag, Family family) {
    for (const UiLanguage& language : UiLanguages()) {
        if (DecidingFlag(language.code, family) == flag->Name())
            return FlagOf(ReadLoneElement(flag, language.code), family);
    }
    return true; // read in no language: it never switches anything off
}

int TreatedCustomerId(const tinyxml2::XMLElement* customerId) {
    return ReadLoneElement(customerId, UiLanguages().front().code).customerId;
}

CustomerTable ReadCustomerTable(const tinyxml2::XMLElement* root) {
    CustomerTable table;
    for (const UiLanguage& language : UiLanguages()) {
        std::map<int, CustomerSetting>& customers = table.byLanguage[language.code];
        ReadCustomerItems(root, language.code, customers);
        for (const auto& entry : customers)
            table.customers.insert(entry.first);
    }
    return table;
}

bool OfferFlag(const CustomerTable& table, const wchar_t* code, int customer, Family family) {
    const auto language = table.byLanguage.find(code);
    if (language == table.byLanguage.end())
        return false;
    const auto entry = language->second.find(customer);
    return entry != language->second.end() && FlagOf(entry->second, family);
}

bool OfferedAnywhere(const CustomerTable& table, int customer) {
    for (const UiLanguage& language : UiLanguages()) {
        if (OfferFlag(table, language.code, customer, Family::Simple) ||
            OfferFlag(table, language.code, customer, Family::Spotlight))
            return true;
    }
    return false;
}

} // namespace qmxpublish
