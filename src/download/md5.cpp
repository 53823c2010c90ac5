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

// Per-round shift amounts (RFC 1321, 3.4).
constexpr int S11 = 7, S12 = 12, S13 = 17, S14 = 22;
constexpr int S21 = 5, S22 = 9, S23 = 14, S24 = 20;
constexpr int S31 = 4, S32 = 11, S33 = 16, S34 = 23;
constexpr int S41 = 6, S42 = 10, S43 = 15, S44 = 21;

inline uint32_t Rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) {
    return z ^ (x & (y ^ z));
}
// (x & z) | (y & ~z): the two halves share no bit, so they may be added, and
// the half without x is ready one step earlier.
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) {
    return (y & ~z) + (x & z);
}
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) {
    return y ^ (x | ~z);
}

// The message word and the constant are added before the round function, so
// that sum does not wait for the previous step's result.
#define MD5_STEP(f, a, b, c, d, x, s, ac)                                                          \
    do {                                                                                           \
        (a) += (x) + static_cast<uint32_t>(ac);                                                    \
        (a) += f((b), (c), (d));                                                                   \
        (a) = Rotl((a), (s)) + (b);                                                                \
    } while (0)

inline uint32_t LoadLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void StoreLe32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

} // namespace

Md5::Md5()
    : state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u}, bits_(0), buffer_{}, used_(0) {}

void Md5::Transform(const unsigned char block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLe32(block + 4 * i);
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

    MD5_STEP(F, a, b, c, d, x[0], S11, 0xd76aa478);
    MD5_STEP(F, d, a, b, c, x[1], S12, 0xe8c7b756);
    MD5_STEP(F, c, d, a, b, x[2], S13, 0x242070db);
    MD5_STEP(F, b, c, d, a, x[3], S14, 0xc1bdceee);
    MD5_STEP(F, a, b, c, d, x[4], S11, 0xf57c0faf);
    MD5_STEP(F, d, a, b, c, x[5], S12, 0x4787c62a);
    MD5_STEP(F, c, d, a, b, x[6], S13, 0xa8304613);
    MD5_STEP(F, b, c, d, a, x[7], S14, 0xfd469501);
    MD5_STEP(F, a, b, c, d, x[8], S11, 0x698098d8);
    MD5_STEP(F, d, a, b, c, x[9], S12, 0x8b44f7af);
    MD5_STEP(F, c, d, a, b, x[10], S13, 0xffff5bb1);
    MD5_STEP(F, b, c, d, a, x[11], S14, 0x895cd7be);
    MD5_STEP(F, a, b, c, d, x[12], S11, 0x6b901122);
    MD5_STEP(F, d, a, b, c, x[13], S12, 0xfd987193);
    MD5_STEP(F, c, d, a, b, x[14], S13, 0xa679438e);
    MD5_STEP(F, b, c, d, a, x[15], S14, 0x49b40821);

    MD5_STEP(G, a, b, c, d, x[1], S21, 0xf61e2562);
    MD5_STEP(G, d, a, b, c, x[6], S22, 0xc040b340);
    MD5_STEP(G, c, d, a, b, x[11], S23, 0x265e5a51);
    MD5_STEP(G, b, c, d, a, x[0], S24, 0xe9b6c7aa);
    MD5_STEP(G, a, b, c, d, x[5], S21, 0xd62f105d);
    MD5_STEP(G, d, a, b, c, x[10], S22, 0x02441453);
    MD5_STEP(G, c, d, a, b, x[15], S23, 0xd8a1e681);
    MD5_STEP(G, b, c, d, a, x[4], S24, 0xe7d3fbc8);
    MD5_STEP(G, a, b, c, d, x[9], S21, 0x21e1cde6);
    MD5_STEP(G, d, a, b, c, x[14], S22, 0xc33707d6);
    MD5_STEP(G, c, d, a, b, x[3], S23, 0xf4d50d87);
    MD5_STEP(G, b, c, d, a, x[8], S24, 0x455a14ed);
    MD5_STEP(G, a, b, c, d, x[13], S21, 0xa9e3e905);
    MD5_STEP(G, d, a, b, c, x[2], S22, 0xfcefa3f8);
    MD5_STEP(G, c, d, a, b, x[7], S23, 0x676f02d9);
    MD5_STEP(G, b, c, d, a, x[12], S24, 0x8d2a4c8a);

    MD5_STEP(H, a, b, c, d, x[5], S31, 0xfffa3942);
    MD5_STEP(H, d, a, b, c, x[8], S32, 0x8771f681);
    MD5_STEP(H, c, d, a, b, x[11], S33, 0x6d9d6122);
    MD5_STEP(H, b, c, d, a, x[14], S34, 0xfde5380c);
    MD5_STEP(H, a, b, c, d, x[1], S31, 0xa4beea44);
    MD5_STEP(H, d, a, b, c, x[4], S32, 0x4bdecfa9);
    MD5_STEP(H, c, d, a, b, x[7], S33, 0xf6bb4b60);
    MD5_STEP(H, b, c, d, a, x[10], S34, 0xbebfbc70);
    MD5_STEP(H, a, b, c, d, x[13], S31, 0x289b7ec6);
    MD5_STEP(H, d, a, b, c, x[0], S32, 0xeaa127fa);
    MD5_STEP(H, c, d, a, b, x[3], S33, 0xd4ef3085);
    MD5_STEP(H, b, c, d, a, x[6], S34, 0x04881d05);
    MD5_STEP(H, a, b, c, d, x[9], S31, 0xd9d4d039);
    MD5_STEP(H, d, a, b, c, x[12], S32, 0xe6db99e5);
    MD5_STEP(H, c, d, a, b, x[15], S33, 0x1fa27cf8);
    MD5_STEP(H, b, c, d, a, x[2], S34, 0xc4ac5665);

    MD5_STEP(I, a, b, c, d, x[0], S41, 0xf4292244);
    MD5_STEP(I, d, a, b, c, x[7], S42, 0x432aff97);
    MD5_STEP(I, c, d, a, b, x[14], S43, 0xab9423a7);
    MD5_STEP(I, b, c, d, a, x[5], S44, 0xfc93a039);
    MD5_STEP(I, a, b, c, d, x[12], S41, 0x655b59c3);
    MD5_STEP(I, d, a, b, c, x[3], S42, 0x8f0ccc92);
    MD5_STEP(I, c, d, a, b, x[10], S43, 0xffeff47d);
    MD5_STEP(I, b, c, d, a, x[1], S44, 0x85845dd1);
    MD5_STEP(I, a, b, c, d, x[8], S41, 0x6fa87e4f);
    MD5_STEP(I, d, a, b, c, x[15], S42, 0xfe2ce6e0);
    MD5_STEP(I, c, d, a, b, x[6], S43, 0xa3014314);
    MD5_STEP(I, b, c, d, a, x[13], S44, 0x4e0811a1);
    MD5_STEP(I, a, b, c, d, x[4], S41, 0xf7537e82);
    MD5_STEP(I, d, a, b, c, x[11], S42, 0xbd3af235);
    MD5_STEP(I, c, d, a, b, x[2], S43, 0x2ad7d2bb);
    MD5_STEP(I, b, c, d, a, x[9], S44, 0xeb86d391);

    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

#undef MD5_STEP

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
        Transform(buffer_);
        used_ = 0;
    }
    while (length >= kBlockBytes) {
        Transform(p);
        p += kBlockBytes;
        length -= kBlockBytes;
    }
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
