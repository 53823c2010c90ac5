// The check every TLS connection of a QMX_TLS build passes before its first
// request: the server's certificate, as Schannel received it, is verified
// against the current user's Windows certificate store (the roots the desk
// trusts, IT's own included) under the host name that was asked for.
//
// libcurl is told to verify nothing itself: with Schannel it would leave the
// check to the system, and Wine's Schannel checks no certificate at all. The
// chain is built with CertGetCertificateChain and judged with the SSL policy,
// and the chain's own error bits are read too (a policy alone has passed a
// partial chain).
#include "net/tls.h"

#include "support/text.h"
#include "support/trace.h"

// The chain parameters' time limit for fetching revocation data.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <windows.h>

#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <sspi.h>
#include <wincrypt.h>

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Issuer certificates, revocation lists and OCSP answers may be fetched while
// the chain is built, inside libcurl's callback where no transfer time limit
// reaches. Each fetch may take this long, the revocation fetches together
// too, before the certificate or the revocation state counts as unknown.
constexpr DWORD kChainFetchMs = 5000;
// Not every fetch keeps that limit (Wine's OCSP request waits half a minute
// for a server that never answers), so the building as a whole gets this
// long; after it the chain is built again from what is at hand, with no
// fetch at all.
constexpr auto kChainBuildBound = std::chrono::milliseconds(6000);
// The chain parameters as far as pftCacheResync: every Windows since Vista
// reads this layout, and Wine takes the time limit above only from a
// structure of exactly this size (it has no strong-signature fields), so
// with the full size its fetches would wait without a limit.
constexpr DWORD kChainParaSize = offsetof(CERT_CHAIN_PARA, pStrongSignPara);
constexpr DWORD kTls12AndLater = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
// SECURITY_FLAG_IGNORE_REVOCATION (wininet.h): revocation is judged from the
// chain's own bits instead. Wine's SSL policy stops at an unknown revocation
// state before it compares the host name, so without this a certificate for
// another name would pass whenever revocation cannot be learnt.
constexpr DWORD kPolicyLeavesRevocationToChain = 0x00000080;

struct CertContextFree {
    void operator()(const CERT_CONTEXT* cert) const { CertFreeCertificateContext(cert); }
};
using CertContext = std::unique_ptr<const CERT_CONTEXT, CertContextFree>;

struct ChainFree {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using ChainContext = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

// One chain building, shared by the waiting check and the helper thread that
// builds; whoever leaves last frees it, so a building that outlives its
// bound ends on its own.
struct ChainBuild {
    CertContext cert;
    DWORD flags = 0;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    ChainContext chain;
};

ChainContext BuildChain(const CERT_CONTEXT* cert, DWORD flags) {
    LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para = {};
    para.cbSize = kChainParaSize;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
    para.dwUrlRetrievalTimeout = kChainFetchMs;
    PCCERT_CHAIN_CONTEXT built = nullptr;
    // The intermediates the server sent travel in the certificate's own store.
    if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, flags, nullptr,
                                 &built))
        built = nullptr;
    return ChainContext(built);
}

void RunChainBuild(const std::shared_ptr<ChainBuild>& build) {
    ChainContext chain = BuildChain(build->cert.get(), build->flags);
    std::lock_guard<std::mutex> hold(build->mutex);
    build->chain = std::move(chain);
    build->done = true;
    build->finished.notify_all();
}

// The chain with revocation checked, as far as its fetches answer within
// kChainBuildBound; else the chain from what is at hand (revocation then
// unknown, which the policy below accepts), and `late` is set.
ChainContext BoundedChain(const CERT_CONTEXT* cert, bool& late) {
    const DWORD revocation =
        CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
    auto build = std::make_shared<ChainBuild>();
    build->cert.reset(CertDuplicateCertificateContext(cert));
    build->flags = revocation;
    late = false;
    try {
        std::thread(RunChainBuild, build).detach();
        std::unique_lock<std::mutex> hold(build->mutex);
        if (build->finished.wait_for(hold, kChainBuildBound, [&] { return build->done; }))
            return std::move(build->chain);
    } catch (...) {
        // No thread: built here, with no fetch, as for a late one.
    }
    late = true;
    return BuildChain(cert, CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL);
}

const char* ProtocolName(DWORD protocol) {
    if (protocol & SP_PROT_TLS1_3_CLIENT)
        return "TLS 1.3";
    if (protocol & SP_PROT_TLS1_2_CLIENT)
        return "TLS 1.2";
    return "TLS below 1.2";
}

// Why the server of this connection is refused; empty when it is trusted.
std::string VerifyServer(CtxtHandle* context, const std::string& host, DWORD& protocol) {
    SecPkgContext_ConnectionInfo connection = {};
    if (QueryContextAttributesW(context, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK)
        return "no connection details from Schannel";
    protocol = connection.dwProtocol;
    if (!(protocol & kTls12AndLater))
        return "protocol below TLS 1.2";

    PCCERT_CONTEXT received = nullptr;
    if (QueryContextAttributesW(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received) != SEC_E_OK ||
        !received)
        return "no server certificate";
    CertContext cert(received);

    bool late = false;
    ChainContext chain = BoundedChain(cert.get(), late);
    if (late)
        TraceLine("TLS: %s: the chain's fetches did not end within %lld ms, judged without them",
                  host.c_str(), static_cast<long long>(kChainBuildBound.count()));
    if (!chain)
        return "certificate chain could not be built";

    std::wstring name = Utf8ToWide(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = &name[0];
    ssl.fdwChecks = kPolicyLeavesRevocationToChain;
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status))
        return "certificate policy could not be checked";
    return TlsRejectReason(chain->TrustStatus.dwErrorStatus, status.dwError);
}

int BeforeRequestRelay(void* check, char*, char*, int, int) {
    // Nothing may be thrown through libcurl: a check that cannot run refuses.
    try {
        if (static_cast<TlsTransferCheck*>(check)->BeforeRequest())
            return CURL_PREREQFUNC_OK;
    } catch (...) {
    }
    return CURL_PREREQFUNC_ABORT;
}

} // namespace

TlsTransferCheck::TlsTransferCheck(void* curlHandle) : m_handle(curlHandle) {
    CURL* h = static_cast<CURL*>(curlHandle);
    // The decision is ours (below), made alike on Windows and under Wine.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    // TLS 1.2 at least; TLS 1.3 where Windows offers it.
    curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, BeforeRequestRelay);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, this);
}

bool TlsTransferCheck::BeforeRequest() {
    CURL* h = static_cast<CURL*>(m_handle);
    char* current = nullptr;
    curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &current);
    const std::string url = current ? current : "";
    if (!IsHttpsAddress(url))
        return true;

    const std::string host = TlsCheckedHost(url);
    if (host.empty()) {
        TraceLine("TLS: %s refused: no host name to check the certificate for", url.c_str());
        return false;
    }
    curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || !session ||
        session->backend != CURLSSLBACKEND_SCHANNEL || !session->internals) {
        TraceLine("TLS: %s refused: no TLS session to check", host.c_str());
        return false;
    }
    DWORD protocol = 0;
    const std::string reason =
        VerifyServer(static_cast<CtxtHandle*>(session->internals), host, protocol);
    if (!reason.empty()) {
        TraceLine("TLS: %s refused: %s", host.c_str(), reason.c_str());
        return false;
    }
    TraceLine("TLS: %s verified (%s)", host.c_str(), ProtocolName(protocol));
    return true;
}
