// Address splitting, mapping onto the tree and the UTF-8 check: the pieces
// that decide which file the checker looks at and whether a document's bytes
// reach the assistant intact.
#include "server_tree.h"

#include <gtest/gtest.h>

namespace qmxpublish {
namespace {

TEST(SplitUrl, TakesSchemeHostAndPath) {
    Url url;
    ASSERT_TRUE(SplitUrl("HTTPS://Host.example:8080/a/b/?q=1", url));
    EXPECT_EQ(url.scheme, "https");
    EXPECT_EQ(url.host, "Host.example:8080");
    EXPECT_EQ(url.path, "/a/b/");
    EXPECT_TRUE(url.hasQueryOrFragment);
    ASSERT_TRUE(SplitUrl("http://h", url));
    EXPECT_EQ(url.path, "/");
    EXPECT_FALSE(url.hasQueryOrFragment);
}

TEST(SplitUrl, RefusesWhatIsNoAddress) {
    Url url;
    for (const char* text : {"", "h/a", "://h/a", "https:///a", "1ttp://h/", "https:/h/a"})
        EXPECT_FALSE(SplitUrl(text, url)) << text;
}

TEST(LocateInTree, MapsThePathAndUndoesPercentEscapes) {
    const TreeLocation location = LocateInTree("/srv/tree/", "https://h/a%20b/c.xml", "");
    EXPECT_EQ(location.placement, Placement::InTree);
    EXPECT_FALSE(location.required);
    EXPECT_EQ(location.file, "/srv/tree/a b/c.xml");
}

TEST(LocateInTree, RequiresOnlyAddressesOnTheTreesHost) {
    EXPECT_TRUE(LocateInTree("/t", "https://h:1/x", "H:1").required);
    EXPECT_EQ(LocateInTree("/t", "https://h:2/x", "h:1").placement, Placement::OtherHost);
}

TEST(LocateInTree, NeverLeavesTheTree) {
    for (const char* address : {"https://h/../x", "https://h/a/%2e%2e/%2e%2e/x", "https://h/a/..",
                                "https://h/a%00b", "ftp://h/x"}) {
        EXPECT_EQ(LocateInTree("/t", address, "h").placement, Placement::Unmapped) << address;
    }
}

struct Utf8Case {
    std::string bytes;
    size_t firstBad;
};
class Utf8Check : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Check, FindsTheFirstMalformedSequence) {
    EXPECT_EQ(FindInvalidUtf8(GetParam().bytes), GetParam().firstBad);
}

INSTANTIATE_TEST_SUITE_P(Sequences, Utf8Check,
                         ::testing::Values(Utf8Case{"plain", std::string::npos},
                                           Utf8Case{"\xE6\xA0\x87\xE9\xA2\x98 \xF0\x9F\x98\x80",
                                                    std::string::npos},
                                           Utf8Case{"ab\xB1\xEA", 2},    // GBK bytes
                                           Utf8Case{"a\xC0\xAF", 1},     // overlong "/"
                                           Utf8Case{"a\xE0\x80\xAF", 1}, // overlong, three bytes
                                           Utf8Case{"a\xED\xA0\x80", 1}, // a surrogate half
                                           Utf8Case{"a\xF4\x90\x80\x80", 1}, // above U+10FFFF
                                           Utf8Case{"abc\xE6\xA0", 3}));     // cut short at the end

TEST(Digest, OnlyThirtyTwoLowerCaseHexDigitsPass) {
    EXPECT_TRUE(IsLowerHexDigest("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_FALSE(IsLowerHexDigest("D41D8CD98F00B204E9800998ECF8427E"));
    EXPECT_TRUE(IsHexDigestAnyCase("D41D8CD98F00B204E9800998ECF8427E"));
    EXPECT_FALSE(IsHexDigestAnyCase("d41d8cd98f00b204e9800998ecf8427"));
}

} // namespace
} // namespace qmxpublish
