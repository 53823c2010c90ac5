// The language rule: which of the popup's four languages a Windows UI
// language identifier selects. Every floor that picks a text by language
// asks it afresh (the documents' per-language flags, the string tables, the
// customer texts); the query itself is in language_win.cpp.
#include "support/language.h"

namespace {

// Windows language identifiers (primary language in the low ten bits,
// sublanguage above).
const unsigned short kLangChinesePrc = 0x0804;
const unsigned short kLangChineseTaiwan = 0x0404;
const unsigned short kLangChineseHongKong = 0x0C04;
const unsigned short kLangChineseSingapore = 0x1004;
const unsigned short kLangChineseMacao = 0x1404;
const unsigned short kLangJapanese = 0x0411;
const unsigned short kLangKorean = 0x0412;
const unsigned short kLangKoreanNeutral = 0x0012;

} // namespace

std::wstring LanguageCodeFromLangId(unsigned short langId) {
    switch (langId) {
    case kLangChinesePrc:
    case kLangChineseTaiwan:
    case kLangChineseHongKong:
    case kLangChineseSingapore:
    case kLangChineseMacao:
        return L"zh-CN";
    case kLangJapanese:
        return L"rb-JP";
    case kLangKorean:
    case kLangKoreanNeutral:
        return L"ko-KR";
    default:
        return L"en";
    }
}
