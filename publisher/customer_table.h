// The customer settings as the assistant sees them, per UI language: every
// answer here comes from the assistant's own reader (ReadCustomerItems), fed
// either the whole document or one element at a time, so the tool cannot
// drift from what the assistant does on a user's desk.
#pragma once
#include "config/xml_config.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLElement;
} // namespace tinyxml2

namespace qmxpublish {

enum class Family { Simple, Spotlight };

struct UiLanguage {
    const wchar_t* code;     // as the assistant's language rule returns it
    const char* name;        // the same code, printable
    const char* description; // for messages: "Chinese", "English", ...
};
// The four UI languages, in the order the tool reports them.
const std::vector<UiLanguage>& UiLanguages();
const char* FamilyName(Family family);

// The six offer flags an item may carry, with the family each one sets.
struct FlagElement {
    const char* name;
    Family family;
};
const std::vector<FlagElement>& FlagElements();
bool IsFlagElement(const std::string& name);

// The flag element the assistant reads for a UI language and family
// (for example "SimplePopup_Cn" for "rb-JP" and simple models); empty when
// the reader reads none.
std::string DecidingFlag(const wchar_t* code, Family family);

// What the assistant makes of one flag element, read on its own.
bool TreatedFlag(const tinyxml2::XMLElement* flag, Family family);
// The customer number the assistant reads from one CustomerID element.
int TreatedCustomerId(const tinyxml2::XMLElement* customerId);

struct CustomerTable {
    // UI language code -> customer number -> settings.
    std::map<std::wstring, std::map<int, CustomerSetting>> byLanguage;
    std::set<int> customers;
};
// Reads a customer-settings root once per UI language.
CustomerTable ReadCustomerTable(const tinyxml2::XMLElement* root);
// The flag for one customer, language and family; false when not listed.
bool OfferFlag(const CustomerTable& table, const wchar_t* code, int customer, Family family);
bool OfferedAnywhere(const CustomerTable& table, int customer);

} // namespace qmxpublish
