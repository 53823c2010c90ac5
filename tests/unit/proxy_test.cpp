// The route of one request: which entry of a WinHTTP proxy list serves plain
// HTTP and on which port, when a host is on the bypass list as Windows
// matches it, the order of automatic and manual settings, and the host each
// hop is decided on.
#include "net/proxy.h"
#include "net/transfer.h"

#include <gtest/gtest.h>

namespace {

TEST(PickHttpProxy, OneProxyForAllSchemesInEveryForm) {
    EXPECT_EQ(PickHttpProxy("proxy.corp:3128"), "http://proxy.corp:3128");
    EXPECT_EQ(PickHttpProxy("  http://proxy.corp:3128/ ; other:80"), "http://proxy.corp:3128");
    EXPECT_EQ(PickHttpProxy("http=proxy.corp:8080"), "http://proxy.corp:8080");
    EXPECT_EQ(PickHttpProxy("[::1]:3128"), "http://[::1]:3128");
}

TEST(PickHttpProxy, NoPortMeansPort80) {
    EXPECT_EQ(PickHttpProxy("http=proxy.corp"), "http://proxy.corp:80");
    EXPECT_EQ(PickHttpProxy("proxy.corp"), "http://proxy.corp:80");
    EXPECT_EQ(PickHttpProxy("http://proxy.corp:"), "http://proxy.corp:80");
    EXPECT_EQ(PickHttpProxy("[::1]"), "http://[::1]:80");
}

TEST(PickHttpProxy, EntryLibcurlCannotReadAsHostAndPortNamesNoProxy) {
    // libcurl would fail every transfer on these, or ("#", "?") connect to
    // its own default port 1080.
    EXPECT_EQ(PickHttpProxy("proxy.corp:8080x"), "");
    EXPECT_EQ(PickHttpProxy("proxy.corp:99999"), "");
    EXPECT_EQ(PickHttpProxy("http=proxy#x:8080"), "");
    EXPECT_EQ(PickHttpProxy("proxy?x:8080"), "");
    EXPECT_EQ(PickHttpProxy("proxy.corp:http;backup:3128"), "http://backup:3128");
    EXPECT_EQ(PickHttpProxy("proxy.corp:03128"), "http://proxy.corp:3128");
    EXPECT_EQ(PickHttpProxy("user:pw@proxy.corp:3128"), "http://user:pw@proxy.corp:3128");
}

TEST(PickHttpProxy, OnlyOtherSchemesMeansDirect) {
    EXPECT_EQ(PickHttpProxy("https=secure:443;HTTP=plain:8080;ftp=f:21"), "http://plain:8080");
    EXPECT_EQ(PickHttpProxy("https=secure:443 socks=s:1080"), "");
    EXPECT_EQ(PickHttpProxy("socks://s:1080"), "");
    EXPECT_EQ(PickHttpProxy("http=;http=:80"), "");
    EXPECT_EQ(PickHttpProxy(""), "");
}

TEST(BypassesProxy, MatchesTheWholeHostAsWindowsDoes) {
    const std::string list = "localhost;*.corp.example;10.*;<local>;valdry.com;intra";
    EXPECT_TRUE(BypassesProxy(list, "LOCALHOST"));
    EXPECT_TRUE(BypassesProxy(list, "dl.corp.example"));
    EXPECT_TRUE(BypassesProxy(list, "10.1.2.3"));
    EXPECT_TRUE(BypassesProxy(list, "fileserver"));
    EXPECT_TRUE(BypassesProxy(list, "valdry.com"));
    // Where libcurl's no-proxy list matched a suffix or an address block.
    EXPECT_FALSE(BypassesProxy(list, "corp.example"));
    EXPECT_FALSE(BypassesProxy(list, "download.valdry.com"));
    EXPECT_FALSE(BypassesProxy(list, "dl.intra"));
    EXPECT_FALSE(BypassesProxy("01.*", "1.2.3.4"));
    EXPECT_FALSE(BypassesProxy("192.168.001.*", "192.168.1.7"));
    EXPECT_FALSE(BypassesProxy(list, "[::1]"));
    EXPECT_FALSE(BypassesProxy(list, "110.1.2.3"));
}

TEST(ChooseProxy, AutomaticAnswerFirstThenManualThenDirect) {
    AutoProxyAnswer automatic;
    automatic.kind = AutoProxyAnswer::Named;
    automatic.proxy = "auto.corp:8080";
    EXPECT_EQ(ChooseProxy(automatic, "manual:3128", "", "a.example").proxy,
              "http://auto.corp:8080");
    EXPECT_FALSE(ChooseProxy(automatic, "manual:3128", "", "a.example").detected);
    automatic.detected = true;
    EXPECT_TRUE(ChooseProxy(automatic, "manual:3128", "", "a.example").detected);
    automatic.kind = AutoProxyAnswer::Direct;
    EXPECT_EQ(ChooseProxy(automatic, "manual:3128", "", "a.example").proxy, "");
    for (AutoProxyAnswer::Kind none :
         {AutoProxyAnswer::NoAnswer, AutoProxyAnswer::TooLate, AutoProxyAnswer::NotSet}) {
        automatic.kind = none;
        EXPECT_EQ(ChooseProxy(automatic, "manual:3128", "", "a.example").proxy,
                  "http://manual:3128");
        EXPECT_EQ(ChooseProxy(automatic, "manual:3128", "a.example", "a.example").proxy, "");
        EXPECT_EQ(ChooseProxy(automatic, "", "", "a.example").proxy, "");
    }
}

TEST(ChooseProxy, AutomaticBypassListApplies) {
    AutoProxyAnswer automatic;
    automatic.kind = AutoProxyAnswer::Named;
    automatic.proxy = "auto:8080";
    automatic.bypass = "*.lan";
    EXPECT_EQ(ChooseProxy(automatic, "", "", "nas.lan").proxy, "");
    EXPECT_EQ(ChooseProxy(automatic, "", "", "lan").proxy, "http://auto:8080");
}

TEST(ChooseProxy, HttpsTakesTheHttpsEntry) {
    const AutoProxyAnswer none;
    const std::string list = "http=plain:8080;https=secure:8443";
    EXPECT_EQ(ChooseProxy(none, list, "", "a.example", "https").proxy, "http://secure:8443");
    EXPECT_EQ(ChooseProxy(none, list, "", "a.example", "http").proxy, "http://plain:8080");
    EXPECT_EQ(ChooseProxy(none, "all:3128;http=plain:8080", "", "a.example", "https").proxy,
              "http://all:3128");
    EXPECT_EQ(ChooseProxy(none, "http=plain:8080", "", "a.example", "https").proxy, "");
}

TEST(ChooseProxy, TheWholeListIsWalkedInOrderAndDirectIsNoHost) {
    const AutoProxyAnswer none;
    const ProxyRoute manual = ChooseProxy(none, "first:3128;bad:http second:3129", "", "a.example");
    EXPECT_EQ(manual.proxy, "http://first:3128");
    EXPECT_EQ(manual.fallbacks, std::vector<std::string>{"http://second:3129"});
    EXPECT_EQ(ProxiesForScheme("http=a:1;https=s:2;b:4;HTTP=c:3", "http"),
              (std::vector<std::string>{"http://a:1", "http://c:3"}));
    AutoProxyAnswer script;
    script.kind = AutoProxyAnswer::Named;
    script.proxy = "a.corp:8080; DIRECT";
    const ProxyRoute walked = ChooseProxy(script, "", "", "a.example");
    EXPECT_EQ(walked.proxy, "http://a.corp:8080");
    EXPECT_EQ(walked.fallbacks, std::vector<std::string>{""});
    script.proxy = "direct";
    EXPECT_EQ(ChooseProxy(script, "", "", "a.example").proxy, "");
    EXPECT_EQ(PickHttpProxy("DIRECT;a.corp:8080"), "");
}

TEST(ProxyForTrace, APasswordNeverReachesTheTrace) {
    EXPECT_EQ(ProxyForTrace("http://desk:s3cr:et@proxy.corp:3128"), "http://desk@proxy.corp:3128");
    EXPECT_EQ(ProxyForTrace("http://desk@proxy.corp:3128"), "http://desk@proxy.corp:3128");
    EXPECT_EQ(ProxyForTrace("http://proxy.corp:3128"), "http://proxy.corp:3128");
}

TEST(ParseRequestUrl, HostIsTheOneLibcurlConnectsTo) {
    std::string host, url;
    ASSERT_TRUE(ParseRequestUrl("http://user@Dl.Corp.Example:81/x?a#b", host, url));
    EXPECT_EQ(host, "Dl.Corp.Example");
    // Malformed addresses a document may hold: our decision must be made on
    // the host the transfer really goes to.
    ASSERT_TRUE(ParseRequestUrl("http:/intra/x", host, url));
    EXPECT_EQ(host, "intra");
    ASSERT_TRUE(ParseRequestUrl("http:///intra/", host, url));
    EXPECT_EQ(host, "intra");
    ASSERT_TRUE(ParseRequestUrl("htt#://10.1.2.3/", host, url));
    EXPECT_EQ(host, "htt");
    EXPECT_EQ(url.rfind("http://htt/", 0), 0u) << url;
    EXPECT_FALSE(ParseRequestUrl("http://[::1/", host, url));
    EXPECT_FALSE(ParseRequestUrl("", host, url));
}

} // namespace
