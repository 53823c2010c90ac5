// Holders for what libcurl's URL parser hands out: the parsed address and
// the texts taken from it, each freed the way libcurl asks.
#pragma once
#include <curl/curl.h>

#include <memory>

struct UrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlCleanup>;

struct CurlText {
    char* text = nullptr;
    ~CurlText() { curl_free(text); }
};
