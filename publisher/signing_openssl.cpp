// Installer signatures for the Linux build of qmxpublish, with OpenSSL's
// libcrypto. OpenSSL speaks DER signatures; the assistant's verifier takes
// the fixed 64-byte r || s form, so signatures are converted both ways here.
#include "signing.h"

#include "download/signature.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace qmxpublish {

namespace {

constexpr size_t kCoordinateBytes = 32;
constexpr size_t kReadBlock = 64 * 1024;
constexpr unsigned char kUncompressedPoint = 0x04;
// SubjectPublicKeyInfo of a P-256 key up to the point: SEQUENCE, the
// algorithm (id-ecPublicKey, prime256v1), then the BIT STRING holding 04 X Y.
const unsigned char kP256InfoPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};

struct PkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
struct SigFree {
    void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
};
struct FileClose {
    void operator()(FILE* f) const { fclose(f); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;
using Sig = std::unique_ptr<ECDSA_SIG, SigFree>;
using File = std::unique_ptr<FILE, FileClose>;

// The whole file through `update`; false when it cannot be read to its end.
template <typename Update> bool ReadAll(const std::string& path, Update update) {
    File file(fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    std::vector<unsigned char> block(kReadBlock);
    size_t got;
    while ((got = fread(block.data(), 1, block.size(), file.get())) > 0) {
        if (!update(block.data(), got))
            return false;
    }
    return ferror(file.get()) == 0;
}

Pkey PublicKeyOf(const std::string& publicText) {
    SigningKey point;
    if (!ParseSigningKey(publicText, point))
        return nullptr;
    std::vector<unsigned char> info(kP256InfoPrefix, kP256InfoPrefix + sizeof kP256InfoPrefix);
    info.push_back(kUncompressedPoint);
    info.insert(info.end(), point.begin(), point.end());
    const unsigned char* p = info.data();
    // d2i_PUBKEY also checks that the point lies on the curve.
    return Pkey(d2i_PUBKEY(nullptr, &p, static_cast<long>(info.size())));
}

} // namespace

bool CanSign() {
    return true;
}

bool IsPublicKeyText(const std::string& publicText) {
    return PublicKeyOf(publicText) != nullptr;
}

bool MakeSigningKey(const std::string& pemPath, std::string& publicText, std::string& problem) {
    Pkey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key) {
        problem = "cannot make a P-256 key";
        return false;
    }
    unsigned char point[1 + kSigningKeyBytes];
    size_t length = 0;
    if (EVP_PKEY_get_octet_string_param(key.get(), "encoded-pub-key", point, sizeof point,
                                        &length) != 1 ||
        length != sizeof point || point[0] != kUncompressedPoint) {
        problem = "cannot read the public point of the new key";
        return false;
    }
    // Owner-only from the first byte on: the private key must not be readable
    // by anybody else, not even for a moment.
    const mode_t before = umask(077);
    File out(fopen(pemPath.c_str(), "wx"));
    umask(before);
    if (!out) {
        problem = "cannot create " + pemPath + " (it must not exist yet)";
        return false;
    }
    if (PEM_write_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
        fflush(out.get()) != 0) {
        problem = "cannot write " + pemPath;
        return false;
    }
    publicText = Base64Encode(point + 1, kSigningKeyBytes);
    return true;
}

bool SignFile(const std::string& pemPath, const std::string& file, std::string& signatureText,
              std::string& problem) {
    Pkey key;
    {
        File in(fopen(pemPath.c_str(), "rb"));
        if (!in) {
            problem = "cannot read the key " + pemPath;
            return false;
        }
        key.reset(PEM_read_PrivateKey(in.get(), nullptr, nullptr, nullptr));
    }
    if (!key || EVP_PKEY_is_a(key.get(), "EC") != 1 || EVP_PKEY_get_bits(key.get()) != 256) {
        problem = pemPath + " is not a P-256 private key";
        return false;
    }
    MdCtx ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
        problem = "cannot start signing";
        return false;
    }
    if (!ReadAll(file, [&ctx](const unsigned char* data, size_t n) {
            return EVP_DigestSignUpdate(ctx.get(), data, n) == 1;
        })) {
        problem = "cannot read " + file;
        return false;
    }
    size_t derLength = 0;
    if (EVP_DigestSignFinal(ctx.get(), nullptr, &derLength) != 1) {
        problem = "cannot sign";
        return false;
    }
    std::vector<unsigned char> der(derLength);
    if (EVP_DigestSignFinal(ctx.get(), der.data(), &derLength) != 1) {
        problem = "cannot sign";
        return false;
    }
    const unsigned char* p = der.data();
    Sig sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(derLength)));
    if (!sig) {
        problem = "cannot read the signature OpenSSL made";
        return false;
    }
    unsigned char raw[kSignatureBytes];
    if (BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), raw, kCoordinateBytes) !=
            static_cast<int>(kCoordinateBytes) ||
        BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), raw + kCoordinateBytes, kCoordinateBytes) !=
            static_cast<int>(kCoordinateBytes)) {
        problem = "the signature does not fit the 64-byte form";
        return false;
    }
    signatureText = Base64Encode(raw, sizeof raw);
    return true;
}

SignatureVerdict CheckFileSignature(const std::string& publicText, const std::string& file,
                                    const std::string& signatureText, std::string& problem) {
    Pkey key = PublicKeyOf(publicText);
    if (!key) {
        problem = "the public key text is not a P-256 key";
        return SignatureVerdict::Unchecked;
    }
    InstallerSignature raw;
    if (!ParseInstallerSignature(signatureText, raw))
        return SignatureVerdict::Bad;
    Sig sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), kCoordinateBytes, nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + kCoordinateBytes, kCoordinateBytes, nullptr);
    if (!sig || r == nullptr || s == nullptr || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        problem = "out of memory";
        return SignatureVerdict::Unchecked;
    }
    unsigned char* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(sig.get(), &der);
    if (derLength <= 0) {
        problem = "cannot encode the signature";
        return SignatureVerdict::Unchecked;
    }
    std::vector<unsigned char> derCopy(der, der + derLength);
    OPENSSL_free(der);
    MdCtx ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
        problem = "cannot start checking";
        return SignatureVerdict::Unchecked;
    }
    if (!ReadAll(file, [&ctx](const unsigned char* data, size_t n) {
            return EVP_DigestVerifyUpdate(ctx.get(), data, n) == 1;
        })) {
        problem = "cannot read " + file;
        return SignatureVerdict::Unchecked;
    }
    return EVP_DigestVerifyFinal(ctx.get(), derCopy.data(), derCopy.size()) == 1
               ? SignatureVerdict::Good
               : SignatureVerdict::Bad;
}

} // namespace qmxpublish
