// The verdict on a server's certificate chain: what fails, and that an
// unknown revocation state alone does not.
#include "net/tls.h"

#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>

namespace {

constexpr unsigned long kRevocationUnknown =
    CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

TEST(TlsRejectReason, AGoodChainPasses) {
    EXPECT_EQ(TlsRejectReason(0, 0), "");
}

TEST(TlsRejectReason, RevocationIsBestEffort) {
    EXPECT_EQ(TlsRejectReason(kRevocationUnknown, 0), "");
    EXPECT_EQ(TlsRejectReason(0, static_cast<unsigned long>(CRYPT_E_REVOCATION_OFFLINE)), "");
    EXPECT_EQ(TlsRejectReason(kRevocationUnknown | CERT_TRUST_IS_REVOKED, 0),
              "certificate revoked");
}

TEST(TlsRejectReason, EachFaultIsNamed) {
    EXPECT_EQ(TlsRejectReason(CERT_TRUST_IS_PARTIAL_CHAIN, 0), "certificate chain incomplete");
    EXPECT_EQ(TlsRejectReason(CERT_TRUST_IS_UNTRUSTED_ROOT, 0),
              "certificate issued by an authority this desk does not trust");
    EXPECT_EQ(TlsRejectReason(CERT_TRUST_IS_NOT_TIME_VALID | kRevocationUnknown, 0),
              "certificate expired or not yet valid");
    EXPECT_EQ(TlsRejectReason(0, static_cast<unsigned long>(CERT_E_CN_NO_MATCH)),
              "certificate is for another host name");
    EXPECT_EQ(TlsRejectReason(CERT_TRUST_IS_CYCLIC, 0), "certificate chain status 0x00000080");
}

} // namespace
