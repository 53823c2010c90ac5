// MD5 message digest (RFC 1321) and the digest text of a file.
//
// The installer's digest is compared byte for byte with the text the server
// publishes, so the text form is fixed: 16 digest bytes, each as "%02x".
// Files are hashed from a 1024-byte stack buffer, so memory use does not grow
// with the file; the transform works on whole 64-byte blocks straight from the
// caller's data when it can, and only partial blocks go through the buffer.
#include "download/md5.h"

#include "support/file_ex.h"

#include <cstring>

namespace {

constexpr size_t kBlockBytes = 64;       // one MD5 input block
constexpr size_t kLengthOffset = 56;     // where the bit length goes in the last block
constexpr size_t kReadBlockBytes = 1024; // file read granularity
constexpr size_t kStreamBufferBytes = 64 * 1024;

inline uint32_t Rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// One message word, read in place. Both targets are little-endian, so the
// 4-byte copy is the word itself and compiles to one load (or a memory
// operand of the add); no copy of the block is made.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "message words are read in place");
inline uint32_t Word(const unsigned char* block, int i) {
    uint32_t w;
    std::memcpy(&w, block + 4 * i, sizeof w);
    return w;
}

inline void StoreLe32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// The round functions, written so that the part that does not depend on the
// previous step's result (b) is ready early. The message word and the
// constant are added first for the same reason.
//   F: z ^ (x & (y ^ z))
//   G: (x & z) | (y & ~z); the halves share no bit, so they may be added
//   H: x ^ y ^ z
//   I: y ^ (x | ~z)
#define MD5_F(a, b, c, d, k, s, t)                                                                 \
    do {                                                                                           \
        a += Word(p, k) + (t);                                                                     \
        a += (d) ^ ((b) & ((c) ^ (d)));                                                            \
        a = Rotl(a, s) + (b);                                                                      \
    } while (0)
#define MD5_G(a, b, c, d, k, s, t)                                                                 \
    do {                                                                                           \
        a += Word(p, k) + (t);                                                                     \
        a += (c) & ~(d);                                                                           \
        a += (b) & (d);                                                                            \
        a = Rotl(a, s) + (b);                                                                      \
    } while (0)
#define MD5_H(a, b, c, d, k, s, t)                                                                 \
    do {                                                                                           \
        a += Word(p, k) + (t);                                                                     \
        a += (b) ^ ((c) ^ (d));                                                                    \
        a = Rotl(a, s) + (b);                                                                      \
    } while (0)
#define MD5_I(a, b, c, d, k, s, t)                                                                 \
    do {                                                                                           \
        a += Word(p, k) + (t);                                                                     \
        a += (c) ^ ((b) | ~(d));                                                                   \
        a = Rotl(a, s) + (b);                                                                      \
    } while (0)

} // namespace

Md5::Md5()
    : state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u}, bits_(0), buffer_{}, used_(0) {}

// All 64 steps written out with their constants (RFC 1321, 3.4), over as many
// whole blocks as the caller has; the state stays in locals between blocks.
void Md5::Transform(const unsigned char* p, size_t blocks) {
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (; blocks > 0; --blocks, p += kBlockBytes) {
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        MD5_F(a, b, c, d, 0, 7, 0xd76aa478);
        MD5_F(d, a, b, c, 1, 12, 0xe8c7b756);
        MD5_F(c, d, a, b, 2, 17, 0x242070db);
        MD5_F(b, c, d, a, 3, 22, 0xc1bdceee);
        MD5_F(a, b, c, d, 4, 7, 0xf57c0faf);
        MD5_F(d, a, b, c, 5, 12, 0x4787c62a);
        MD5_F(c, d, a, b, 6, 17, 0xa8304613);
        MD5_F(b, c, d, a, 7, 22, 0xfd469501);
        MD5_F(a, b, c, d, 8, 7, 0x698098d8);
        MD5_F(d, a, b, c, 9, 12, 0x8b44f7af);
        MD5_F(c, d, a, b, 10, 17, 0xffff5bb1);
        MD5_F(b, c, d, a, 11, 22, 0x895cd7be);
        MD5_F(a, b, c, d, 12, 7, 0x6b901122);
        MD5_F(d, a, b, c, 13, 12, 0xfd987193);
        MD5_F(c, d, a, b, 14, 17, 0xa679438e);
        MD5_F(b, c, d, a, 15, 22, 0x49b40821);

        MD5_G(a, b, c, d, 1, 5, 0xf61e2562);
        MD5_G(d, a, b, c, 6, 9, 0xc040b340);
        MD5_G(c, d, a, b, 11, 14, 0x265e5a51);
        MD5_G(b, c, d, a, 0, 20, 0xe9b6c7aa);
        MD5_G(a, b, c, d, 5, 5, 0xd62f105d);
        MD5_G(d, a, b, c, 10, 9, 0x02441453);
        MD5_G(c, d, a, b, 15, 14, 0xd8a1e681);
        MD5_G(b, c, d, a, 4, 20, 0xe7d3fbc8);
        MD5_G(a, b, c, d, 9, 5, 0x21e1cde6);
        MD5_G(d, a, b, c, 14, 9, 0xc33707d6);
        MD5_G(c, d, a, b, 3, 14, 0xf4d50d87);
        MD5_G(b, c, d, a, 8, 20, 0x455a14ed);
        MD5_G(a, b, c, d, 13, 5, 0xa9e3e905);
        MD5_G(d, a, b, c, 2, 9, 0xfcefa3f8);
        MD5_G(c, d, a, b, 7, 14, 0x676f02d9);
        MD5_G(b, c, d, a, 12, 20, 0x8d2a4c8a);

        MD5_H(a, b, c, d, 5, 4, 0xfffa3942);
        MD5_H(d, a, b, c, 8, 11, 0x8771f681);
        MD5_H(c, d, a, b, 11, 16, 0x6d9d6122);
        MD5_H(b, c, d, a, 14, 23, 0xfde5380c);
        MD5_H(a, b, c, d, 1, 4, 0xa4beea44);
        MD5_H(d, a, b, c, 4, 11, 0x4bdecfa9);
        MD5_H(c, d, a, b, 7, 16, 0xf6bb4b60);
        MD5_H(b, c, d, a, 10, 23, 0xbebfbc70);
        MD5_H(a, b, c, d, 13, 4, 0x289b7ec6);
        MD5_H(d, a, b, c, 0, 11, 0xeaa127fa);
        MD5_H(c, d, a, b, 3, 16, 0xd4ef3085);
        MD5_H(b, c, d, a, 6, 23, 0x04881d05);
        MD5_H(a, b, c, d, 9, 4, 0xd9d4d039);
        MD5_H(d, a, b, c, 12, 11, 0xe6db99e5);
        MD5_H(c, d, a, b, 15, 16, 0x1fa27cf8);
        MD5_H(b, c, d, a, 2, 23, 0xc4ac5665);

        MD5_I(a, b, c, d, 0, 6, 0xf4292244);
        MD5_I(d, a, b, c, 7, 10, 0x432aff97);
        MD5_I(c, d, a, b, 14, 15, 0xab9423a7);
        MD5_I(b, c, d, a, 5, 21, 0xfc93a039);
        MD5_I(a, b, c, d, 12, 6, 0x655b59c3);
        MD5_I(d, a, b, c, 3, 10, 0x8f0ccc92);
        MD5_I(c, d, a, b, 10, 15, 0xffeff47d);
        MD5_I(b, c, d, a, 1, 21, 0x85845dd1);
        MD5_I(a, b, c, d, 8, 6, 0x6fa87e4f);
        MD5_I(d, a, b, c, 15, 10, 0xfe2ce6e0);
        MD5_I(c, d, a, b, 6, 15, 0xa3014314);
        MD5_I(b, c, d, a, 13, 21, 0x4e0811a1);
        MD5_I(a, b, c, d, 4, 6, 0xf7537e82);
        MD5_I(d, a, b, c, 11, 10, 0xbd3af235);
        MD5_I(c, d, a, b, 2, 15, 0x2ad7d2bb);
        MD5_I(b, c, d, a, 9, 21, 0xeb86d391);

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state_[0] = a;
    state_[1] = b;
    state_[2] = c;
    state_[3] = d;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

void Md5::Update(const void* data, size_t length) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    bits_ += static_cast<uint64_t>(length) << 3;
    if (used_ > 0) {
        size_t take = kBlockBytes - used_;
        if (take > length)
            take = length;
        std::memcpy(buffer_ + used_, p, take);
        used_ += take;
        p += take;
        length -= take;
        if (used_ < kBlockBytes)
            return;
        Transform(buffer_, 1);
        used_ = 0;
    }
    const size_t blocks = length / kBlockBytes;
    Transform(p, blocks);
    p += blocks * kBlockBytes;
    length -= blocks * kBlockBytes;
    if (length > 0) {
        std::memcpy(buffer_, p, length);
        used_ = length;
    }
}

void Md5::Final(unsigned char digest[16]) {
    const uint64_t bits = bits_;
    // Padding: one 0x80 byte, zeros up to 56 mod 64, then the bit length.
    unsigned char pad[kBlockBytes * 2] = {0x80};
    size_t padLength =
        (used_ < kLengthOffset) ? (kLengthOffset - used_) : (kBlockBytes + kLengthOffset - used_);
    unsigned char length[8];
    StoreLe32(length, static_cast<uint32_t>(bits));
    StoreLe32(length + 4, static_cast<uint32_t>(bits >> 32));
    Update(pad, padLength);
    Update(length, sizeof length);
    for (int i = 0; i < 4; ++i)
        StoreLe32(digest + 4 * i, state_[i]);
    // Ready for a new message.
    *this = Md5();
}

std::string Md5::ToHex(const unsigned char digest[16]) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 0; i < 16; ++i) {
        text[2 * i] = kDigits[digest[i] >> 4];
        text[2 * i + 1] = kDigits[digest[i] & 0x0f];
    }
    return text;
}

std::string GetStreamMD5(FILE* stream) {
    if (stream == nullptr)
        return std::string();
    Md5 md5;
    unsigned char block[kReadBlockBytes] = {0};
    for (;;) {
        size_t got = std::fread(block, 1, sizeof block, stream);
        // End of file and a read error alike end the input.
        if (got == 0)
            break;
        md5.Update(block, got);
    }
    unsigned char digest[16];
    md5.Final(digest);
    std::rewind(stream);
    return Md5::ToHex(digest);
}

std::string GetFileMD5(const std::string& path) {
    CFileEx file;
    // Nobody may change the file while its digest is taken.
    if (!file.Open(path, "rb", true))
        return std::string();
    // A larger, fixed stream buffer: the 1024-byte reads then cost one system
    // read per 64 KiB instead of one per few KiB.
    std::setvbuf(file.Stream(), nullptr, _IOFBF, kStreamBufferBytes);
    return GetStreamMD5(file.Stream());
}
