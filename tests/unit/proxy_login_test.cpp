// What a proxy's 407 offers to log in with, read from the header lines of
// its answers, and whether the Windows logon answers it.
#include "net/proxy_login.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Offered(const std::vector<std::string>& lines) {
    ProxyChallenges challenges;
    for (const std::string& line : lines)
        challenges.TakeHeaderLine(line.data(), line.size());
    return challenges.Schemes();
}

using Schemes = std::vector<std::string>;

TEST(ProxyChallenges, FirstWordOfEachHeaderOnceInOrder) {
    EXPECT_EQ(Offered({"HTTP/1.1 407 Proxy Authentication Required\r\n", "Server: squid\r\n",
                       "Proxy-Authenticate: Negotiate\r\n", "proxy-authenticate:NTLM\r\n",
                       "PROXY-AUTHENTICATE: Basic realm=\"Corp, Inc\", charset=UTF-8\r\n",
                       "Proxy-Authenticate: ntlm TlRMTVNTUAACAAAA\r\n", "\r\n"}),
              (Schemes{"Negotiate", "NTLM", "Basic"}));
    // Other headers that merely look alike offer nothing.
    EXPECT_EQ(Offered({"WWW-Authenticate: Negotiate\r\n", "Proxy-Authenticate-Info: x\r\n",
                       "Proxy-Authorization: NTLM abc\r\n"}),
              Schemes{});
}

TEST(ProxyChallenges, OnlyTheLastAnswerCounts) {
    // libcurl answered the first 407; the proxy's second answer is the one
    // the transfer ended with.
    EXPECT_EQ(Offered({"HTTP/1.1 407 x\r\n", "Proxy-Authenticate: Negotiate\r\n", "\r\n",
                       "HTTP/1.1 407 x\r\n", "Proxy-Authenticate: Basic realm=x\r\n"}),
              Schemes{"Basic"});
    EXPECT_EQ(
        Offered({"HTTP/1.1 407 x\r\n", "Proxy-Authenticate: NTLM\r\n", "HTTP/1.1 200 OK\r\n"}),
        Schemes{});
}

TEST(ProxyChallenges, BoundedAgainstAStrangersAnswer) {
    EXPECT_EQ(
        Offered({"Proxy-Authenticate:\r\n", "Proxy-Authenticate:   \r\n",
                 "Proxy-Authenticate: \"Negotiate\"\r\n", "Proxy-Authenticate: Neg/otiate\r\n",
                 "Proxy-Authenticate: " + std::string(33, 'A') + "\r\n"}),
        Schemes{});
    EXPECT_EQ(Offered({"Proxy-Authenticate: " + std::string(32, 'A')}),
              Schemes{std::string(32, 'A')});
    std::vector<std::string> many;
    for (int i = 0; i < 100; ++i)
        many.push_back("Proxy-Authenticate: S" + std::to_string(i) + "\r\n");
    const Schemes kept = Offered(many);
    ASSERT_EQ(kept.size(), ProxyChallenges::kMaxSchemes);
    EXPECT_EQ(kept.front(), "S0");
    // A line without its end, or without a colon at all, is read as far as it goes.
    EXPECT_EQ(Offered({"Proxy-Authenticate: NTLM", "Proxy-Authenticate"}), Schemes{"NTLM"});
}

TEST(LogonAnswers, NegotiateOrNtlmInAnyCase) {
    EXPECT_TRUE(LogonAnswers({"Basic", "negotiate"}));
    EXPECT_TRUE(LogonAnswers({"NTLM"}));
    EXPECT_FALSE(LogonAnswers({"Basic", "Digest", "Kerberos", "NTLMv2"}));
    EXPECT_FALSE(LogonAnswers({}));
    EXPECT_EQ(SchemeList({"Negotiate", "NTLM"}), "Negotiate, NTLM");
    EXPECT_EQ(SchemeList({}), "nothing");
}

} // namespace
