// The installer's two digests, computed while the file is written: MD5 for
// the transfer check and, with the maker's key built in, SHA-256 for the
// signature. Fed by the transfer with exactly the bytes the file holds, so
// the verdict is ready when the last byte lands, without reading the file
// back.
#pragma once
#ifdef _WIN32
#include "download/md5.h"
#include "download/signature.h"
#include "net/installer.h"

#include <array>
#include <memory>
#include <string>

class CDigestPair : public WrittenBytesSink {
  public:
    // SHA-256 only when asked for: without a key nothing needs it.
    explicit CDigestPair(bool withSha256);
    void Restart() override;
    void Feed(const void* data, size_t size) override;
    // The digests of everything fed since the last Restart. Sha256 is false
    // when it was not asked for or could not be computed; it ends the
    // SHA-256 side until the next Restart.
    std::string Md5Hex() const;
    bool Sha256(std::array<uint8_t, kSha256Bytes>& digest);

  private:
    bool m_withSha256;
    Md5 m_md5;
    std::unique_ptr<CSha256> m_sha256;
};
#endif
