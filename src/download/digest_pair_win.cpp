// CDigestPair: MD5 (our own) and SHA-256 (CNG) fed side by side from the
// installer's write path.
#include "download/digest_pair.h"

CDigestPair::CDigestPair(bool withSha256) : m_withSha256(withSha256) {
    Restart();
}

void CDigestPair::Restart() {
    m_md5 = Md5();
    m_sha256.reset();
    if (m_withSha256)
        m_sha256.reset(new CSha256());
}

void CDigestPair::Feed(const void* data, size_t size) {
    m_md5.Update(data, size);
    if (m_sha256)
        m_sha256->Update(data, size);
}

std::string CDigestPair::Md5Hex() const {
    Md5 copy = m_md5;
    unsigned char digest[16];
    copy.Final(digest);
    return Md5::ToHex(digest);
}

bool CDigestPair::Sha256(std::array<uint8_t, kSha256Bytes>& digest) {
    const bool ok = m_sha256 && m_sha256->Finish(digest);
    m_sha256.reset();
    return ok;
}
