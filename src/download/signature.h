// Installer signatures: with the maker's public key built in, an installer is
// started only when its ECDSA P-256 signature over the SHA-256 digest of the
// file verifies against that key. MD5 only proves the transfer; anyone who
// can serve the installer can serve a matching MD5 too, but not a signature.
//
// Text forms, both standard base64 with padding (leading and trailing blanks
// and line ends are ignored, nothing else is):
//   key        the 64-byte public point X || Y, each coordinate 32 bytes big
//              endian (what "qmxpublish keygen" prints);
//   signature  the 64-byte r || s, each 32 bytes big endian, left-padded with
//              zeros (the form the platform's verifier takes).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kSigningKeyBytes = 64;
constexpr size_t kSignatureBytes = 64;
constexpr size_t kSha256Bytes = 32;

using SigningKey = std::array<uint8_t, kSigningKeyBytes>;
using InstallerSignature = std::array<uint8_t, kSignatureBytes>;

// Value of the installer description's Signature element of the last
// document that held it; empty at start (owned by the download worker).
extern std::string g_strSignature;

// Strict base64 (RFC 4648 alphabet, '=' padding required, no characters
// outside the alphabet). False for anything else, `out` then unspecified.
bool Base64Decode(const std::string& text, std::vector<uint8_t>& out);
std::string Base64Encode(const uint8_t* data, size_t length);

// The key and signature texts; false when the text is not base64 of exactly
// 64 bytes.
bool ParseSigningKey(const std::string& text, SigningKey& key);
bool ParseInstallerSignature(const std::string& text, InstallerSignature& signature);

// The maker's public key text this program checks installers against; empty
// when it was built without one (then only the MD5 is checked). The product
// has it compiled in; the testing flavor takes it from its scenario.
std::string SigningKeyText();

#ifdef _WIN32
#include <windows.h>

#include <bcrypt.h>

// An installer file opened for reading with only read sharing: while this
// holds it, nobody can write, replace, rename or delete it.
class CLockedFile {
  public:
    CLockedFile() = default;
    CLockedFile(const CLockedFile&) = delete;
    CLockedFile& operator=(const CLockedFile&) = delete;
    ~CLockedFile() { Close(); }
    bool Open(const std::wstring& path);
    void Close();
    HANDLE Handle() const { return m_h; }

  private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

// SHA-256 fed piece by piece (CNG). A hasher that could not be set up, or
// whose feeding failed once, answers false at Finish.
class CSha256 {
  public:
    CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;
    ~CSha256();
    void Update(const void* data, size_t length);
    // The digest of everything fed since construction or the last Finish;
    // starts over afterwards.
    bool Finish(std::array<uint8_t, kSha256Bytes>& digest);

  private:
    bool Begin();
    void End();
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
    std::vector<UCHAR> m_object;
    bool m_ok = false;
};

// SHA-256 of the whole file behind `file`, read from its start (CNG).
bool Sha256OfFile(HANDLE file, std::array<uint8_t, kSha256Bytes>& digest);
// ECDSA P-256 check of r || s over a SHA-256 digest (CNG).
bool VerifyDigestSignature(const SigningKey& key, const std::array<uint8_t, kSha256Bytes>& digest,
                           const InstallerSignature& signature);
// The whole check for an open installer: key text and signature text parse,
// the file hashes, and the signature verifies. False on any failure.
bool VerifyInstallerSignature(HANDLE file, const std::string& keyText,
                              const std::string& signatureText);

// Opens `file` at `path` (held against writers) and verifies it against
// g_strSignature with the key `keyText`; leaves one trace line with the
// verdict, naming `moment` ("download" or "open").
bool HoldAndVerifyInstaller(CLockedFile& file, const std::wstring& path, const std::string& keyText,
                            const char* moment);
// The path the open `file` resolves to now, junctions and links followed,
// without the "\\?\" prefix; empty when it cannot be told.
std::wstring HeldFilePath(HANDLE file);
#endif
