// HTTPS for an exe built with QMX_TLS: which addresses and redirects a
// transfer may take, and the check every TLS connection passes.
//
// The plain build (the default) rewrites every "https:" address to "http:"
// and speaks HTTP only; it contains none of this but the constants below.
// A TLS build keeps "https:" addresses as they stand, never falls back from
// HTTPS to plain HTTP, and verifies each server against the Windows
// certificate store itself (tls_check_win.cpp), so that it behaves the same
// on Windows and under Wine, whose Schannel checks no certificate.
#pragma once
#include <string>

#ifdef QMX_TLS
constexpr bool kTlsBuild = true;
#else
constexpr bool kTlsBuild = false;
#endif

// The protocols a transfer and its redirects may use: "http" in the plain
// build, "http,https" in a TLS build.
constexpr const char* TransferProtocols(bool tls) {
    return tls ? "http,https" : "http";
}

// Whether the address's scheme is "https" (case-insensitive, blanks before it
// allowed, as libcurl reads it).
bool IsHttpsAddress(const std::string& url);

// The host name a TLS connection to `url` is checked for, as libcurl's URL
// parser reads the address; empty when it names none. The check refuses an
// empty name: the SSL policy would skip the name comparison for it.
std::string TlsCheckedHost(const std::string& url);

// Whether a transfer that requested `from` may go on to `to` (a redirect). A
// TLS build refuses every step from "https:" to anything else; the plain
// build has only plain HTTP to step between.
bool RedirectAllowed(const std::string& from, const std::string& to, bool tls);

// Whether an address read from a server document (the customer's download
// directory, the installer) may be fetched: in a TLS build only "https:"
// ones, so that no document can lead the assistant back to plain HTTP.
bool DocumentAddressAllowed(const std::string& url, bool tls);

#ifdef QMX_TLS
// Puts one transfer (all its requests, redirects included) under the TLS
// rules: TLS 1.2 at least, and before each request on a TLS connection a
// check that refuses a server the Windows certificate store does not vouch
// for under the requested host name. A refusal aborts the transfer
// (CURLE_ABORTED_BY_CALLBACK) and leaves a trace line naming why. Lives as
// long as the transfer it was made for.
class TlsTransferCheck {
  public:
    explicit TlsTransferCheck(void* curlHandle);
    TlsTransferCheck(const TlsTransferCheck&) = delete;
    TlsTransferCheck& operator=(const TlsTransferCheck&) = delete;

    // Called by libcurl before each request (CURLOPT_PREREQFUNCTION).
    bool BeforeRequest();

  private:
    void* m_handle;
};
#else
// The plain build speaks no TLS: nothing to check.
class TlsTransferCheck {
  public:
    explicit TlsTransferCheck(void*) {}
};
#endif

// Why a server's certificate chain is refused, from the chain's error bits
// (CERT_TRUST_STATUS.dwErrorStatus) and the SSL policy's verdict
// (CERT_CHAIN_POLICY_STATUS.dwError); empty when it is accepted. Revocation
// is best effort: a revoked certificate fails, a revocation state that could
// not be learnt (offline, no distribution point) does not. Windows only.
std::string TlsRejectReason(unsigned long chainErrors, unsigned long policyError);
