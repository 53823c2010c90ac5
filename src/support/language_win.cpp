// The user's UI language as Windows reports it.
#include "support/language.h"

#include <windows.h>

std::wstring GetUILanguage() {
    return LanguageCodeFromLangId(GetUserDefaultUILanguage());
}
