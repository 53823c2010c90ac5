// Installer signatures checked by CNG under Wine: a signature made by OpenSSL
// at build time verifies, and every way a signature or its file can be wrong
// fails. The checked file is held so that nobody can write, rename or delete
// it until it is let go.
#include "download/digest_pair.h"
#include "download/signature.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFixture(const char* name) {
    std::ifstream in(std::string(QMX_SIGNATURE_FIXTURES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "fixture " << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SignatureCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        dir_ = fs::path(base) / ("qmx-signature-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(dir_);
        key_ = ReadFixture("key.txt");
        otherKey_ = ReadFixture("other-key.txt");
        signature_ = ReadFixture("signed.sig");
        otherSignature_ = ReadFixture("other.sig");
        signedBytes_ = ReadFixture("signed.bin");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::wstring Write(const wchar_t* name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path.wstring();
    }

    bool Verifies(const std::wstring& path, const std::string& key, const std::string& signature) {
        CLockedFile file;
        if (!file.Open(path))
            return false;
        return VerifyInstallerSignature(file.Handle(), key, signature);
    }

    fs::path dir_;
    std::string key_, otherKey_, signature_, otherSignature_, signedBytes_;
};

TEST_F(SignatureCheck, GoodSignatureVerifies) {
    const std::wstring path = Write(L"setup.exe", signedBytes_);
    EXPECT_TRUE(Verifies(path, key_, signature_));
    // The check reads the file from its start, whatever was read before.
    CLockedFile file;
    ASSERT_TRUE(file.Open(path));
    char first[10];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file.Handle(), first, sizeof first, &got, nullptr));
    EXPECT_TRUE(VerifyInstallerSignature(file.Handle(), key_, signature_));
    EXPECT_TRUE(VerifyInstallerSignature(file.Handle(), key_, signature_));
}

TEST_F(SignatureCheck, SignatureOfAnotherFileFails) {
    const std::wstring path = Write(L"setup.exe", signedBytes_);
    EXPECT_FALSE(Verifies(path, key_, otherSignature_));
    EXPECT_TRUE(Verifies(Write(L"other.exe", ReadFixture("other.bin")), key_, otherSignature_));
}

TEST_F(SignatureCheck, AnotherKeyFails) {
    EXPECT_FALSE(Verifies(Write(L"setup.exe", signedBytes_), otherKey_, signature_));
}

TEST_F(SignatureCheck, FlippedBitInFileOrSignatureFails) {
    std::string changed = signedBytes_;
    changed[changed.size() / 2] ^= 0x01;
    EXPECT_FALSE(Verifies(Write(L"changed.exe", changed), key_, signature_));

    const std::wstring path = Write(L"setup.exe", signedBytes_);
    InstallerSignature raw;
    ASSERT_TRUE(ParseInstallerSignature(signature_, raw));
    for (size_t byte : {size_t{0}, size_t{31}, size_t{32}, size_t{63}}) {
        InstallerSignature flipped = raw;
        flipped[byte] ^= 0x80;
        EXPECT_FALSE(Verifies(path, key_, Base64Encode(flipped.data(), flipped.size())))
            << "byte " << byte;
    }
    // A file one byte longer is another file.
    EXPECT_FALSE(Verifies(Write(L"longer.exe", signedBytes_ + '\0'), key_, signature_));
}

TEST_F(SignatureCheck, WrongLengthBadBase64OrMissingFails) {
    const std::wstring path = Write(L"setup.exe", signedBytes_);
    InstallerSignature raw;
    ASSERT_TRUE(ParseInstallerSignature(signature_, raw));
    EXPECT_FALSE(Verifies(path, key_, Base64Encode(raw.data(), 63)));
    std::vector<uint8_t> longer(raw.begin(), raw.end());
    longer.push_back(0);
    EXPECT_FALSE(Verifies(path, key_, Base64Encode(longer.data(), longer.size())));
    std::string badText = signature_;
    badText[5] = '#';
    EXPECT_FALSE(Verifies(path, key_, badText));
    EXPECT_FALSE(Verifies(path, key_, ""));
    // A key text that is not a point of the curve is refused by the import.
    SigningKey offCurve;
    ASSERT_TRUE(ParseSigningKey(key_, offCurve));
    offCurve[63] ^= 0x01;
    EXPECT_FALSE(Verifies(path, Base64Encode(offCurve.data(), offCurve.size()), signature_));
    EXPECT_FALSE(Verifies(path, "", signature_));
}

TEST_F(SignatureCheck, MissingFileFails) {
    EXPECT_FALSE(Verifies((dir_ / L"absent.exe").wstring(), key_, signature_));
    std::array<uint8_t, kSha256Bytes> digest;
    EXPECT_FALSE(Sha256OfFile(INVALID_HANDLE_VALUE, digest));
}

TEST_F(SignatureCheck, Sha256MatchesTheStandardExample) {
    // FIPS 180-2, "abc".
    CLockedFile file;
    ASSERT_TRUE(file.Open(Write(L"abc.txt", "abc")));
    std::array<uint8_t, kSha256Bytes> digest;
    ASSERT_TRUE(Sha256OfFile(file.Handle(), digest));
    const uint8_t expected[kSha256Bytes] = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea,
                                            0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
                                            0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c,
                                            0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    EXPECT_TRUE(std::equal(digest.begin(), digest.end(), expected));
}

TEST(DigestPair, BothDigestsOfWhatWasFedSinceTheLastRestart) {
    // RFC 1321 and FIPS 180-2 examples, "abc" fed in pieces after other bytes.
    CDigestPair pair(true);
    pair.Feed("dropped", 7);
    pair.Restart();
    pair.Feed("a", 1);
    pair.Feed("bc", 2);
    EXPECT_EQ(pair.Md5Hex(), "900150983cd24fb0d6963f7d28e17f72");
    std::array<uint8_t, kSha256Bytes> digest;
    ASSERT_TRUE(pair.Sha256(digest));
    const uint8_t expected[kSha256Bytes] = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea,
                                            0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
                                            0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c,
                                            0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    EXPECT_TRUE(std::equal(digest.begin(), digest.end(), expected));

    CDigestPair md5Only(false);
    md5Only.Feed("", 0);
    EXPECT_EQ(md5Only.Md5Hex(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_FALSE(md5Only.Sha256(digest));
}

TEST_F(SignatureCheck, DigestPairFedInPiecesVerifiesTheSignedFile) {
    CDigestPair pair(true);
    for (size_t at = 0; at < signedBytes_.size(); at += 1000)
        pair.Feed(signedBytes_.data() + at, std::min<size_t>(1000, signedBytes_.size() - at));
    SigningKey key;
    InstallerSignature signature;
    ASSERT_TRUE(ParseSigningKey(key_, key) && ParseInstallerSignature(signature_, signature));
    std::array<uint8_t, kSha256Bytes> digest;
    ASSERT_TRUE(pair.Sha256(digest));
    EXPECT_TRUE(VerifyDigestSignature(key, digest, signature));
}

TEST_F(SignatureCheck, HeldFileCannotBeWrittenRenamedOrDeleted) {
    const std::wstring path = Write(L"setup.exe", signedBytes_);
    const std::wstring moved = (dir_ / L"moved.exe").wstring();
    {
        CLockedFile held;
        ASSERT_TRUE(held.Open(path));
        HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
        EXPECT_FALSE(DeleteFileW(path.c_str()));
        EXPECT_FALSE(MoveFileExW(path.c_str(), moved.c_str(), 0));
        // Readers are still welcome (the start of the program reads it).
        HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE);
        if (reader != INVALID_HANDLE_VALUE)
            CloseHandle(reader);
        EXPECT_TRUE(VerifyInstallerSignature(held.Handle(), key_, signature_));
    }
    // Let go, the file is free again.
    EXPECT_TRUE(MoveFileExW(path.c_str(), moved.c_str(), 0));
}

TEST_F(SignatureCheck, HeldFileTellsThePathItResolvesTo) {
    // Wine follows no directory link on open, so the detour here is one the
    // name itself makes; the answer is the file's own path either way, in
    // the form the shell takes (no "\\?\" prefix).
    fs::create_directories(dir_ / L"real");
    const std::wstring real = Write(L"real\\setup.exe", signedBytes_);
    CLockedFile held;
    ASSERT_TRUE(held.Open((dir_ / L"real" / L".." / L"REAL" / L"setup.exe").wstring()));
    const std::wstring resolved = HeldFilePath(held.Handle());
    EXPECT_EQ(_wcsicmp(resolved.c_str(), real.c_str()), 0)
        << std::string(resolved.begin(), resolved.end());
}

} // namespace
