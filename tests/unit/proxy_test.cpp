// The user's proxy in libcurl's terms: which entry of a WinHTTP proxy list
// serves plain HTTP, which bypass entries libcurl can take, and when the
// address a transfer starts with goes direct.
#include "config/proxy.h"

#include <gtest/gtest.h>

namespace {

TEST(PickHttpProxy, OneProxyForAllSchemes) {
    EXPECT_EQ(PickHttpProxy("proxy.corp:3128"), "proxy.corp:3128");
    EXPECT_EQ(PickHttpProxy("  http://proxy.corp:3128 ; other:80"), "http://proxy.corp:3128");
}

TEST(PickHttpProxy, PerSchemeListGivesTheHttpEntry) {
    EXPECT_EQ(PickHttpProxy("https=secure:443;HTTP=plain:8080;ftp=f:21"), "plain:8080");
    EXPECT_EQ(PickHttpProxy("https=secure:443 ftp=f:21"), "");
    EXPECT_EQ(PickHttpProxy("http="), "");
    EXPECT_EQ(PickHttpProxy(""), "");
}

TEST(CurlNoProxyList, KeepsWhatLibcurlCanMatch) {
    EXPECT_EQ(CurlNoProxyList("localhost; *.Corp.Example;.lan ;http://intra 127.0.0.1"),
              "localhost,.corp.example,.lan,intra,127.0.0.1");
    EXPECT_EQ(CurlNoProxyList("10.*;192.168.*;172.16.5.*"),
              "10.0.0.0/8,192.168.0.0/16,172.16.5.0/24");
    EXPECT_EQ(CurlNoProxyList("*"), "*");
}

TEST(CurlNoProxyList, LeavesOutWhatLibcurlCannotExpress) {
    EXPECT_EQ(CurlNoProxyList("<local>;*intranet*;dl.*.example;300.*;1.2.3.4.*;*.;a"), "a");
    EXPECT_EQ(CurlNoProxyList(""), "");
}

TEST(BypassesProxy, MatchesTheHostAsWindowsDoes) {
    const std::string list = "localhost;*.corp.example;10.*;<local>";
    EXPECT_TRUE(BypassesProxy(list, "http://LOCALHOST:8080/x"));
    EXPECT_TRUE(BypassesProxy(list, "http://dl.corp.example/downloads/"));
    EXPECT_TRUE(BypassesProxy(list, "http://10.1.2.3/"));
    EXPECT_TRUE(BypassesProxy(list, "http://fileserver/setup.exe"));
    EXPECT_TRUE(BypassesProxy(list, "http://user@fileserver:81"));
    EXPECT_FALSE(BypassesProxy(list, "http://corp.example/"));
    EXPECT_FALSE(BypassesProxy(list, "http://download.valdry.com/downloads/"));
    EXPECT_FALSE(BypassesProxy(list, "http://[::1]:80/"));
    EXPECT_FALSE(BypassesProxy(list, "http://110.1.2.3/"));
}

TEST(CurlProxyFromWinHttp, ProxyWithBypassList) {
    const CurlProxy choice =
        CurlProxyFromWinHttp("127.0.0.1:3128", "localhost;*.lan", "http://127.0.0.1:18600/a.xml");
    EXPECT_EQ(choice.proxy, "127.0.0.1:3128");
    EXPECT_EQ(choice.noProxy, "localhost,.lan");
}

TEST(CurlProxyFromWinHttp, DirectWhenBypassedOrNoHttpProxy) {
    EXPECT_EQ(CurlProxyFromWinHttp("p:3128", "localhost", "http://localhost:81/").proxy, "");
    EXPECT_EQ(CurlProxyFromWinHttp("https=p:3128", "", "http://a.example/").proxy, "");
    EXPECT_EQ(CurlProxyFromWinHttp("", "", "http://a.example/").proxy, "");
}

} // namespace
