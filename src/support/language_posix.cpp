// Host stand-in for the UI language query: the language identifier comes
// from QMX_HOST_LANGID (hexadecimal, for example "0411"), default English
// (United States), so host tests can exercise every language.
#include "support/language.h"

#include <cstdlib>

namespace {
const unsigned short kDefaultLangId = 0x0409;
}

std::wstring GetUILanguage() {
    unsigned short langId = kDefaultLangId;
    if (const char* value = std::getenv("QMX_HOST_LANGID")) {
        char* end = nullptr;
        const unsigned long parsed = std::strtoul(value, &end, 16);
        if (end != value && *end == '\0' && parsed <= 0xFFFF)
            langId = static_cast<unsigned short>(parsed);
    }
    return LanguageCodeFromLangId(langId);
}
