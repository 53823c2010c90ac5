// Text conversions, the wide formatter and replace-all: the same results on
// the Windows code-page calls and on the host's converter.
#include "config/server.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// U+1F600 (outside the BMP: a surrogate pair in UTF-16) and CJK text.
const char kUtf8Sample[] = "Gr\xC3\xBC\xC3\x9F"
                           "e \xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80!";
const wchar_t kWideSample[] = L"Gr\u00FC\u00DFe \u4F60\u597D \U0001F600!";

TEST(TextConversion, EmptySourceGivesEmptyResult) {
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
}

TEST(TextConversion, StopsAtEmbeddedNul) {
    EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(WideToAnsi(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(Utf8ToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(Utf8ToWide(std::string("\0cd", 3)), L"");
}

TEST(TextConversion, ConvertsBothWaysIncludingNonBmp) {
    EXPECT_EQ(Utf8ToWide(kUtf8Sample), kWideSample);
    EXPECT_EQ(WideToUtf8(kWideSample), kUtf8Sample);
}

TEST(TextConversion, Utf8RoundTripKeepsBytes) {
    const std::string samples[] = {
        kUtf8Sample,
        "plain ASCII <Option/>",
        "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4",             // Korean
        "\xE3\x83\x97\xE3\x83\xAC\xE3\x82\xBC\xE3\x83\xB3", // Japanese
        "\xF4\x8F\xBF\xBF",                                 // U+10FFFF, the last code point
        "\xEF\xBF\xBD",                                     // U+FFFD itself
    };
    for (const std::string& s : samples)
        EXPECT_EQ(WideToUtf8(Utf8ToWide(s)), s) << s;
}

TEST(TextConversion, MalformedUtf8IsSubstitutedNotRefused) {
    // Neither a stray continuation byte nor a sequence cut off by the end of
    // the text may stop the conversion or read past the text.
    EXPECT_EQ(Utf8ToWide("a\x80z"), L"a\uFFFDz");
    const std::wstring cut = Utf8ToWide("ab\xE4\xB8");
    ASSERT_GE(cut.size(), 3u);
    EXPECT_EQ(cut.substr(0, 2), L"ab");
    EXPECT_EQ(cut[2], L'\uFFFD');
    const std::wstring overlong = Utf8ToWide("x\xC0\xAFy");
    ASSERT_FALSE(overlong.empty());
    EXPECT_EQ(overlong.front(), L'x');
    EXPECT_EQ(overlong.back(), L'y');
    EXPECT_EQ(overlong.find(L'/'), std::wstring::npos) << "overlong form must not decode";
}

TEST(TextConversion, LoneSurrogateBecomesReplacementCharacter) {
    const std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(WideToUtf8(L"a" + lone + L"b"), "a\xEF\xBF\xBD"
                                              "b");
}

TEST(TextConversion, AnsiKeepsAsciiUrls) {
    EXPECT_EQ(WideToAnsi(L"http://127.0.0.1:18100/downloads/a.xml?x=1&y=%20"),
              "http://127.0.0.1:18100/downloads/a.xml?x=1&y=%20");
}

TEST(FormatWString, CustomerNumberIsZeroPadded) {
    EXPECT_EQ(FormatWString(QMX_CUSTOMER_PATH_FORMAT, 7),
              L"/downloads/orvanteer/customers/customer007/windows/customer.xml");
    EXPECT_EQ(FormatWString(QMX_CUSTOMER_PATH_FORMAT, 255),
              L"/downloads/orvanteer/customers/customer255/windows/customer.xml");
    EXPECT_EQ(FormatWString(L"%03d", 1234), L"1234");
}

TEST(FormatWString, PercentSTakesAWideString) {
    const std::wstring dir = L"https://h/dir/\u4F60/";
    EXPECT_EQ(FormatWString(L"%sorvanteer.xml", dir.c_str()),
              L"https://h/dir/\u4F60/orvanteer.xml");
    EXPECT_EQ(FormatWString(L"%s %d", L"Downloading", 42), L"Downloading 42");
    EXPECT_EQ(FormatWString(L"[%4s|%-3s]", L"ab", L"c"), L"[  ab|c  ]");
    EXPECT_EQ(FormatWString(L"%ls", L"wide"), L"wide");
    EXPECT_EQ(FormatWString(L"%c%c", L'\u00E9', L'x'), L"\u00E9x");
}

TEST(FormatWString, PercentPercentIsLiteral) {
    EXPECT_EQ(FormatWString(L"100%% %s", L"sure"), L"100% sure");
    EXPECT_EQ(FormatWString(L"%%s"), L"%s");
}

TEST(FormatWString, LongestTextThatFitsAndFirstThatDoesNot) {
    const std::wstring fits(131071, L'x');
    EXPECT_EQ(FormatWString(L"%s", fits.c_str()), fits);
    const std::wstring tooLong(131072, L'x');
    EXPECT_EQ(FormatWString(L"%s", tooLong.c_str()), L"");
    EXPECT_EQ(FormatWString(L"a%s", fits.c_str()), L"");
}

TEST(ReplaceAll, RewritesEverySchemeOccurrence) {
    std::wstring url = L"https://h/r?next=https://h/x";
    EXPECT_EQ(ReplaceAll(url, L"https:", L"http:"), 2);
    EXPECT_EQ(url, L"http://h/r?next=http://h/x");
}

TEST(ReplaceAll, NoOccurrenceLeavesTextAlone) {
    std::wstring url = L"http://h/https/HTTPS:";
    EXPECT_EQ(ReplaceAll(url, L"https:", L"http:"), 0);
    EXPECT_EQ(url, L"http://h/https/HTTPS:");
}

TEST(ReplaceAll, InsertedTextIsNotSearchedAgain) {
    std::wstring text = L"aaa";
    EXPECT_EQ(ReplaceAll(text, L"a", L"aa"), 3);
    EXPECT_EQ(text, L"aaaaaa");
    std::wstring shrink = L"abab";
    EXPECT_EQ(ReplaceAll(shrink, L"ab", L""), 2);
    EXPECT_EQ(shrink, L"");
}

TEST(ReplaceAll, EmptySearchTextEndsWithoutChange) {
    std::wstring text = L"abc";
    EXPECT_EQ(ReplaceAll(text, L"", L"x"), 0);
    EXPECT_EQ(text, L"abc");
}

} // namespace
