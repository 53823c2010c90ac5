// The language rule of the popup's texts and the user's UI language.
#pragma once
#include <string>

// "zh-CN", "en", "ko-KR" or "rb-JP" for a Windows language identifier.
std::wstring LanguageCodeFromLangId(unsigned short langId);
// The user's default UI language, read afresh on every call.
std::wstring GetUILanguage();
