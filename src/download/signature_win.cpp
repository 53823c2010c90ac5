// The platform side of installer signatures: SHA-256 of the file and the
// ECDSA P-256 check, both through CNG (bcrypt.dll, present from Windows 7),
// so the exe carries no cryptography of its own. The file is read through a
// handle that denies writing, renaming and deleting to everybody else, so the
// bytes that were checked are the bytes that are started.
#include "download/signature.h"

#include "support/trace.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kReadBlock = 64 * 1024;
constexpr ULONG kP256CoordinateBytes = 32;

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

// Closes a CNG algorithm provider on every way out.
class AlgorithmHandle {
  public:
    AlgorithmHandle() = default;
    AlgorithmHandle(const AlgorithmHandle&) = delete;
    AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
    ~AlgorithmHandle() {
        if (m_h != nullptr)
            BCryptCloseAlgorithmProvider(m_h, 0);
    }
    bool Open(LPCWSTR algorithm) {
        return Succeeded(BCryptOpenAlgorithmProvider(&m_h, algorithm, nullptr, 0)) &&
               m_h != nullptr;
    }
    BCRYPT_ALG_HANDLE Get() const { return m_h; }

  private:
    BCRYPT_ALG_HANDLE m_h = nullptr;
};

// Destroys a CNG hash or key object on every way out.
template <NTSTATUS(WINAPI* Destroy)(BCRYPT_HANDLE)> class CngObject {
  public:
    CngObject() = default;
    CngObject(const CngObject&) = delete;
    CngObject& operator=(const CngObject&) = delete;
    ~CngObject() {
        if (m_h != nullptr)
            Destroy(m_h);
    }
    BCRYPT_HANDLE* Out() { return &m_h; }
    BCRYPT_HANDLE Get() const { return m_h; }

  private:
    BCRYPT_HANDLE m_h = nullptr;
};
using KeyHandle = CngObject<BCryptDestroyKey>;

} // namespace

bool CLockedFile::Open(const std::wstring& path) {
    Close();
    if (path.empty())
        return false;
    // Read sharing only: no writer, no rename, no delete while it is held.
    m_h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return m_h != INVALID_HANDLE_VALUE;
}

void CLockedFile::Close() {
    if (m_h != INVALID_HANDLE_VALUE) {
        CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }
}

CSha256::CSha256() {
    m_ok = Begin();
}

CSha256::~CSha256() {
    End();
}

bool CSha256::Begin() {
    if (!Succeeded(BCryptOpenAlgorithmProvider(&m_algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        m_algorithm = nullptr;
    if (m_algorithm == nullptr)
        return false;
    DWORD objectLength = 0;
    DWORD hashLength = 0;
    ULONG got = 0;
    if (!Succeeded(BCryptGetProperty(m_algorithm, BCRYPT_OBJECT_LENGTH,
                                     reinterpret_cast<PUCHAR>(&objectLength), sizeof objectLength,
                                     &got, 0)) ||
        !Succeeded(BCryptGetProperty(m_algorithm, BCRYPT_HASH_LENGTH,
                                     reinterpret_cast<PUCHAR>(&hashLength), sizeof hashLength, &got,
                                     0)) ||
        hashLength != kSha256Bytes || objectLength == 0)
        return false;
    // Windows 7 needs the caller's buffer for the hash object.
    m_object.assign(objectLength, 0);
    if (!Succeeded(
            BCryptCreateHash(m_algorithm, &m_hash, m_object.data(), objectLength, nullptr, 0, 0))) {
        m_hash = nullptr;
        return false;
    }
    return true;
}

void CSha256::End() {
    if (m_hash != nullptr)
        BCryptDestroyHash(m_hash);
    if (m_algorithm != nullptr)
        BCryptCloseAlgorithmProvider(m_algorithm, 0);
    m_hash = nullptr;
    m_algorithm = nullptr;
}

void CSha256::Update(const void* data, size_t length) {
    // BCryptHashData takes a ULONG length and a non-const buffer it only reads.
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (m_ok && length > 0) {
        const ULONG piece = length > MAXDWORD ? MAXDWORD : static_cast<ULONG>(length);
        m_ok = Succeeded(BCryptHashData(m_hash, bytes, piece, 0));
        bytes += piece;
        length -= piece;
    }
}

bool CSha256::Finish(std::array<uint8_t, kSha256Bytes>& digest) {
    const bool ok = m_ok && Succeeded(BCryptFinishHash(m_hash, digest.data(), kSha256Bytes, 0));
    End();
    m_ok = Begin();
    return ok;
}

bool Sha256OfFile(HANDLE file, std::array<uint8_t, kSha256Bytes>& digest) {
    if (file == INVALID_HANDLE_VALUE || file == nullptr)
        return false;
    CSha256 hash;
    LARGE_INTEGER start;
    start.QuadPart = 0;
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    std::vector<UCHAR> block(kReadBlock);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block.data(), kReadBlock, &read, nullptr))
            return false; // a read error must not pass as a shorter file
        if (read == 0)
            break;
        hash.Update(block.data(), read);
    }
    return hash.Finish(digest);
}

bool VerifyDigestSignature(const SigningKey& key, const std::array<uint8_t, kSha256Bytes>& digest,
                           const InstallerSignature& signature) {
    AlgorithmHandle algorithm;
    if (!algorithm.Open(BCRYPT_ECDSA_P256_ALGORITHM))
        return false;
    // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + kSigningKeyBytes);
    BCRYPT_ECCKEY_BLOB header;
    header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = kP256CoordinateBytes;
    memcpy(blob.data(), &header, sizeof header);
    memcpy(blob.data() + sizeof header, key.data(), kSigningKeyBytes);
    KeyHandle publicKey;
    if (!Succeeded(BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                       publicKey.Out(), blob.data(),
                                       static_cast<ULONG>(blob.size()), 0)))
        return false;
    // The API takes non-const buffers but does not write them.
    std::array<uint8_t, kSha256Bytes> hashCopy = digest;
    InstallerSignature signatureCopy = signature;
    const NTSTATUS status =
        BCryptVerifySignature(publicKey.Get(), nullptr, hashCopy.data(), kSha256Bytes,
                              signatureCopy.data(), kSignatureBytes, 0);
    // Only success counts; STATUS_INVALID_SIGNATURE and every other status fail.
    return status == 0;
}

bool VerifyInstallerSignature(HANDLE file, const std::string& keyText,
                              const std::string& signatureText) {
    SigningKey key;
    InstallerSignature signature;
    if (!ParseSigningKey(keyText, key) || !ParseInstallerSignature(signatureText, signature))
        return false;
    std::array<uint8_t, kSha256Bytes> digest;
    if (!Sha256OfFile(file, digest))
        return false;
    return VerifyDigestSignature(key, digest, signature);
}

bool HoldAndVerifyInstaller(CLockedFile& file, const std::wstring& path, const std::string& keyText,
                            const char* moment) {
    if (!file.Open(path)) {
        TraceLine("signature at %s: the installer cannot be opened", moment);
        return false;
    }
    const bool holds = VerifyInstallerSignature(file.Handle(), keyText, g_strSignature);
    TraceLine("signature at %s: %s", moment,
              holds ? "verified" : (g_strSignature.empty() ? "missing" : "does not hold"));
    return holds;
}

std::wstring HeldFilePath(HANDLE file) {
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD needed = GetFinalPathNameByHandleW(file, nullptr, 0, flags);
    if (needed == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), needed + 1, flags);
    if (length == 0 || length > needed)
        return std::wstring();
    std::wstring path(buffer.data(), length);
    // "\\?\C:\..." and "\\?\UNC\server\share\..." as the shell takes them.
    const std::wstring prefix = L"\\\\?\\";
    const std::wstring unc = L"\\\\?\\UNC\\";
    if (path.compare(0, unc.size(), unc) == 0)
        return L"\\\\" + path.substr(unc.size());
    if (path.compare(0, prefix.size(), prefix) == 0)
        return path.substr(prefix.size());
    return path;
}
