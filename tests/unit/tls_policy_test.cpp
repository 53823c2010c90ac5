// Which addresses and redirects a transfer may take in the plain and in the
// TLS build.
#include "net/tls.h"

#include <gtest/gtest.h>

namespace {

TEST(TlsPolicy, HttpsIsTheSchemeAsLibcurlReadsIt) {
    EXPECT_TRUE(IsHttpsAddress("https://dl.example/x"));
    EXPECT_TRUE(IsHttpsAddress("  HTTPS://dl.example/x"));
    EXPECT_FALSE(IsHttpsAddress("http://dl.example/https://x"));
    EXPECT_FALSE(IsHttpsAddress("dl.example/https:"));
    EXPECT_FALSE(IsHttpsAddress(""));
}

TEST(TlsPolicy, TheCheckedHostIsTheOneLibcurlReadsAndMayBeNone) {
    EXPECT_EQ(TlsCheckedHost("https://dl.example:8443/x"), "dl.example");
    EXPECT_EQ(TlsCheckedHost("https://user@[::1]/x"), "[::1]");
    EXPECT_EQ(TlsCheckedHost("https:///x"), "x") << "as libcurl connects";
    for (const char* none : {"https://", "https://:443/x", "", "dl.example/x"})
        EXPECT_EQ(TlsCheckedHost(none), "") << none;
}

TEST(TlsPolicy, ATlsBuildNeverStepsDownToPlainHttp) {
    EXPECT_FALSE(RedirectAllowed("https://a.example/", "http://a.example/", true));
    EXPECT_FALSE(RedirectAllowed("https://a.example/", "ftp://a.example/", true));
    EXPECT_TRUE(RedirectAllowed("http://a.example/", "https://cdn.example/", true));
    EXPECT_TRUE(RedirectAllowed("https://a.example/", "HTTPS://cdn.example/", true));
    EXPECT_TRUE(RedirectAllowed("http://a.example/", "http://b.example/", true));
    EXPECT_TRUE(RedirectAllowed("https://a.example/", "http://a.example/", false));
}

TEST(TlsPolicy, ATlsBuildTakesOnlyHttpsAddressesFromDocuments) {
    EXPECT_TRUE(DocumentAddressAllowed("https://dl.example/setup.exe", true));
    EXPECT_FALSE(DocumentAddressAllowed("http://dl.example/setup.exe", true));
    EXPECT_FALSE(DocumentAddressAllowed("", true));
    EXPECT_TRUE(DocumentAddressAllowed("http://dl.example/setup.exe", false));
}

} // namespace
