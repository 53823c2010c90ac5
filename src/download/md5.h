// MD5 (RFC 1321) and the file digest as 32 lower-case hexadecimal digits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class Md5 {
  public:
    Md5();
    void Update(const void* data, size_t length);
    void Final(unsigned char digest[16]);
    static std::string ToHex(const unsigned char digest[16]);

  private:
    // Hashes `blocks` whole 64-byte blocks starting at data.
    void Transform(const unsigned char* data, size_t blocks);
    uint32_t state_[4];
    uint64_t bits_;
    unsigned char buffer_[64];
    size_t used_;
};

// Digest of an open stream read in 1024-byte blocks, then rewound; empty for null.
std::string GetStreamMD5(FILE* stream);
// Digest of the file at a UTF-8 path; empty when it cannot be opened.
std::string GetFileMD5(const std::string& path);
