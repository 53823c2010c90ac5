// The built-in string tables and the per-customer texts.
#pragma once
#include <cstddef>
#include <map>
#include <string>

// String-table resources (type "IDR_XML_FILE").
enum {
    IDR_STRINGS_ZH = 131,
    IDR_STRINGS_EN = 132,
    IDR_STRINGS_KO = 133,
    IDR_STRINGS_JA = 137,
};

extern std::map<std::string, std::string> g_mapStrings; // id -> UTF-8 text
extern int g_nStringTableId;                            // 131 until a table loads

// Resource id of the table for a language code.
int StringTableIdFor(const std::wstring& code);
// The customer-document keys for the title and the offer text.
void CustomerTextKeys(const std::wstring& code, std::string& first, std::string& second);
// The customer document's title and offer text (UTF-8) for a language code;
// each falls back to its English key on its own when empty.
void ChooseCustomerTexts(const std::wstring& code, std::string& title, std::string& text);

void LoadStringTable();                                // Windows: from the resources
bool ParseStringTable(const char* xml, size_t length); // fills g_mapStrings
std::wstring GetString(const std::wstring& id);        // the id itself when unknown
void ApplyCustomerTexts();                             // sets 19001 and 19002
