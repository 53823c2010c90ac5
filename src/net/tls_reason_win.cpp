// The verdict on a server's certificate chain as Windows reports it, in
// words a support desk can act on. Kept apart from the TLS connection code
// so that it can be tested with the plain build's unit tests.
#include "net/tls.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstdio>

std::string TlsRejectReason(unsigned long chainErrors, unsigned long policyError) {
    // Best effort: a revocation state that could not be learnt is no verdict.
    const DWORD errors = chainErrors & ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                                           CERT_TRUST_IS_OFFLINE_REVOCATION);
    const HRESULT policy = static_cast<HRESULT>(policyError);
    const bool policyUnsure = policy == CRYPT_E_NO_REVOCATION_CHECK ||
                              policy == CRYPT_E_REVOCATION_OFFLINE ||
                              policy == CERT_E_REVOCATION_FAILURE;
    if ((errors & CERT_TRUST_IS_REVOKED) || policy == CRYPT_E_REVOKED)
        return "certificate revoked";
    if ((errors & CERT_TRUST_IS_NOT_TIME_VALID) || policy == CERT_E_EXPIRED)
        return "certificate expired or not yet valid";
    if ((errors & CERT_TRUST_IS_PARTIAL_CHAIN) || policy == CERT_E_CHAINING)
        return "certificate chain incomplete";
    if ((errors & CERT_TRUST_IS_UNTRUSTED_ROOT) || policy == CERT_E_UNTRUSTEDROOT)
        return "certificate issued by an authority this desk does not trust";
    if (policy == CERT_E_CN_NO_MATCH)
        return "certificate is for another host name";
    if ((errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) || policy == CERT_E_WRONG_USAGE)
        return "certificate not for server authentication";
    if (errors & CERT_TRUST_IS_NOT_SIGNATURE_VALID)
        return "certificate signature invalid";
    char text[64];
    if (errors) {
        snprintf(text, sizeof text, "certificate chain status 0x%08lx",
                 static_cast<unsigned long>(errors));
        return text;
    }
    if (policy != 0 && !policyUnsure) {
        snprintf(text, sizeof text, "certificate policy error 0x%08lx", policyError);
        return text;
    }
    return std::string();
}
