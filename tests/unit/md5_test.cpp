// MD5 digests and the file class: the RFC 1321 test suite, padding and
// read-block boundaries, file digests (empty, missing, large), rewinding, and
// CFileEx's single-stream rule and UTF-8 paths.
#include "download/md5.h"
#include "support/file_ex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Digest(const std::string& text) {
    Md5 md5;
    md5.Update(text.data(), text.size());
    unsigned char digest[16];
    md5.Final(digest);
    return Md5::ToHex(digest);
}

// Deterministic test bytes: (i * 7 + 3) mod 251.
std::string Pattern(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3) % 251);
    return bytes;
}

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        path_ =
            fs::temp_directory_path() / ("qmx-md5-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    // UTF-8 path of a file in the folder.
    std::string File(const std::string& utf8Name) const {
        return (path_ / fs::u8path(utf8Name)).u8string();
    }

  private:
    fs::path path_;
};

bool WriteFile(const std::string& utf8Path, const std::string& bytes) {
    CFileEx file;
    if (!file.Open(utf8Path, "wb"))
        return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), file.Stream()) == bytes.size();
}

} // namespace

TEST(Md5Digest, Rfc1321TestSuite) {
    EXPECT_EQ(Digest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Digest("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Digest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Digest("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Digest("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Digest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    std::string digits;
    for (int i = 0; i < 8; ++i)
        digits += "1234567890";
    EXPECT_EQ(Digest(digits), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Digest, PaddingBoundaries) {
    // Lengths around the 56-byte point where the length field no longer fits
    // the last block (reference digests from an independent tool).
    EXPECT_EQ(Digest(Pattern(55)), "030157be00035d098644cfc70e5deaea");
    EXPECT_EQ(Digest(Pattern(56)), "8e758df1ec8681fc06daa64253668f13");
    EXPECT_EQ(Digest(Pattern(57)), "7cc4dbe44c422ac3e98466e4ff92bb95");
    EXPECT_EQ(Digest(Pattern(63)), "4a805576b511a836fefee199fb797ae5");
    EXPECT_EQ(Digest(Pattern(64)), "7a0cbe2eab91195c56eae7f83588d243");
    EXPECT_EQ(Digest(Pattern(65)), "940b4e909b09d4828b0eebe642613192");
}

TEST(Md5Digest, PiecewiseUpdatesEqualOneUpdate) {
    const std::string data = Pattern(2049);
    for (size_t piece : {1u, 3u, 63u, 64u, 65u, 1000u}) {
        Md5 md5;
        for (size_t at = 0; at < data.size(); at += piece)
            md5.Update(data.data() + at, std::min(piece, data.size() - at));
        unsigned char digest[16];
        md5.Final(digest);
        EXPECT_EQ(Md5::ToHex(digest), "5c0fdc70290424746cb4d6160dbba67d") << "piece " << piece;
    }
}

TEST(Md5Digest, LowBytesKeepTheirLeadingZero) {
    // md5("qmx504") = 06 0f 1a 10 ... 4c 02: bytes below 16 at both ends.
    std::string text = Digest("qmx504");
    EXPECT_EQ(text, "060f1a1037313b32fbbf4ce88bc14c02");
    EXPECT_EQ(text.size(), 32u);
}

TEST(Md5Digest, FinalStartsANewMessage) {
    Md5 md5;
    md5.Update("abc", 3);
    unsigned char first[16];
    md5.Final(first);
    md5.Update("a", 1);
    unsigned char second[16];
    md5.Final(second);
    EXPECT_EQ(Md5::ToHex(second), "0cc175b9c0f1b6a831c399e269772661");
}

TEST(FileDigest, ReadBlockBoundaries) {
    TempDir dir;
    const struct {
        size_t length;
        const char* digest;
    } cases[] = {
        {1023, "5044b433fe3d9d5345f896f4c75964fe"},
        {1024, "84d769de0d4a5450f9ca6ca2eab3234a"},
        {1025, "bf8516a41091eed47cb5c49723ae5be9"},
        {2049, "5c0fdc70290424746cb4d6160dbba67d"},
    };
    for (const auto& c : cases) {
        std::string path = dir.File("block-" + std::to_string(c.length) + ".bin");
        ASSERT_TRUE(WriteFile(path, Pattern(c.length)));
        EXPECT_EQ(GetFileMD5(path), c.digest) << c.length << " bytes";
    }
}

TEST(FileDigest, EmptyFileHasTheEmptyInputDigest) {
    TempDir dir;
    std::string path = dir.File("empty.bin");
    ASSERT_TRUE(WriteFile(path, ""));
    EXPECT_EQ(GetFileMD5(path), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(FileDigest, MissingFileHasNoDigest) {
    TempDir dir;
    EXPECT_EQ(GetFileMD5(dir.File("missing.bin")), "");
    EXPECT_EQ(GetFileMD5(dir.File("no-such-folder/setup.exe")), "");
    EXPECT_EQ(GetFileMD5(""), "");
}

TEST(FileDigest, NullStreamHasNoDigest) {
    EXPECT_EQ(GetStreamMD5(nullptr), "");
}

TEST(FileDigest, StreamIsRewoundAfterwards) {
    TempDir dir;
    std::string path = dir.File("rewind.bin");
    ASSERT_TRUE(WriteFile(path, "message digest"));
    CFileEx file;
    ASSERT_TRUE(file.Open(path, "rb"));
    EXPECT_EQ(GetStreamMD5(file.Stream()), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(std::ftell(file.Stream()), 0L);
    EXPECT_EQ(GetStreamMD5(file.Stream()), "f96b697d7cb7938d525a2f31aaf161d0");
    char first = 0;
    ASSERT_EQ(std::fread(&first, 1, 1, file.Stream()), 1u);
    EXPECT_EQ(first, 'm');
}

#ifndef _WIN32
// An installer-sized file against an independent implementation, the
// system's md5sum.
TEST(FileDigest, LargeFileMatchesMd5sum) {
    TempDir dir;
    std::string path = dir.File("large.bin");
    constexpr size_t kChunk = 1 << 20;
    constexpr int kChunks = 300;
    {
        CFileEx file;
        ASSERT_TRUE(file.Open(path, "wb"));
        std::vector<unsigned char> chunk(kChunk);
        uint32_t x = 2463534242u;
        for (auto& b : chunk) { // xorshift32: deterministic, not compressible
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<unsigned char>(x);
        }
        for (int i = 0; i < kChunks; ++i) {
            // Every mebibyte differs from the others.
            std::memcpy(chunk.data(), &i, sizeof i);
            ASSERT_EQ(std::fwrite(chunk.data(), 1, chunk.size(), file.Stream()), chunk.size());
        }
    }
    std::string command = "md5sum '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {0};
    bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    int status = pclose(pipe);
    ASSERT_TRUE(got);
    ASSERT_EQ(status, 0);
    std::string expected(line, 32);
    EXPECT_EQ(GetFileMD5(path), expected);
}
#endif

TEST(FileClass, SecondOpenIsRefusedAndKeepsTheFirstStream) {
    TempDir dir;
    std::string first = dir.File("first.txt"), second = dir.File("second.txt");
    ASSERT_TRUE(WriteFile(first, "first"));
    ASSERT_TRUE(WriteFile(second, "second"));
    CFileEx file;
    ASSERT_TRUE(file.Open(first, "rb"));
    FILE* stream = file.Stream();
    EXPECT_FALSE(file.Open(second, "rb"));
    EXPECT_EQ(file.Stream(), stream);
    char text[16] = {0};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, file.Stream()), 5u);
    EXPECT_STREQ(text, "first");
}

TEST(FileClass, CloseAllowsANewOpen) {
    TempDir dir;
    std::string path = dir.File("again.txt");
    ASSERT_TRUE(WriteFile(path, "x"));
    CFileEx file;
    ASSERT_TRUE(file.Open(path, "rb"));
    file.Close();
    EXPECT_EQ(file.Stream(), nullptr);
    file.Close(); // closing twice is harmless
    EXPECT_TRUE(file.Open(path, "rb"));
}

TEST(FileClass, FailedOpenLeavesNoStream) {
    TempDir dir;
    CFileEx file;
    EXPECT_FALSE(file.Open(dir.File("missing.txt"), "rb"));
    EXPECT_EQ(file.Stream(), nullptr);
    // ...and the object is still free for a file that exists.
    std::string path = dir.File("present.txt");
    ASSERT_TRUE(WriteFile(path, "x"));
    EXPECT_TRUE(file.Open(path, "rb"));
}

TEST(FileClass, NonAsciiPath) {
    TempDir dir;
    // "测试-файл.bin" in UTF-8.
    const std::string name = "\xe6\xb5\x8b\xe8\xaf\x95-\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.bin";
    std::string path = dir.File(name);
    ASSERT_TRUE(WriteFile(path, "abc"));
    // The file carries exactly that name when seen through the system's
    // own (on Windows: UTF-16) view of the folder.
    EXPECT_TRUE(fs::exists(fs::u8path(path)));
    EXPECT_EQ(fs::file_size(fs::u8path(path)), 3u);
    EXPECT_EQ(GetFileMD5(path), "900150983cd24fb0d6963f7d28e17f72");
}
