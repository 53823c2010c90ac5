// Under Wine: how long the download check takes after the installer's last
// byte has arrived, with the maker's key built in (MD5 and signature), for
// the two ways of reaching the verdict:
//   - read back: the file is read again for the MD5, then once more for the
//     SHA-256 the signature is checked over;
//   - while writing: both digests were fed as the bytes were written, so
//     only the signature check itself remains.
// Each figure is the time from the last write into the file to the verdict,
// the best and the median of several transfers from a loopback nginx.
//
//   qmx_bench_verdict.exe URL MD5 KEY SIGNATURE [REPS]
#include "download/digest_pair.h"
#include "download/md5.h"
#include "download/signature.h"
#include "net/installer.h"
#include "support/text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Notes when the last byte was written; feeds the digests when it has them.
class TimedSink : public WrittenBytesSink {
  public:
    explicit TimedSink(CDigestPair* digests) : m_digests(digests) {}
    void Restart() override {
        if (m_digests)
            m_digests->Restart();
    }
    void Feed(const void* data, size_t size) override {
        if (m_digests)
            m_digests->Feed(data, size);
        m_last = Now();
    }
    double Last() const { return m_last; }

  private:
    CDigestPair* m_digests;
    double m_last = 0;
};

struct Input {
    std::wstring url;
    std::string path, md5, key, signature;
};

// One transfer and its verdict; the seconds from the last byte to the
// verdict, negative when the transfer or the check failed.
double Run(const Input& in, bool whileWriting) {
    CDigestPair digests(true);
    TimedSink sink(whileWriting ? &digests : nullptr);
    InstallerTransfer transfer;
    transfer.sink = &sink;
    if (!DownloadToFile(in.url, in.path, nullptr, transfer))
        return -1;
    bool verified = false;
    if (whileWriting) {
        SigningKey key;
        InstallerSignature signature;
        std::array<uint8_t, kSha256Bytes> digest;
        verified = digests.Md5Hex() == in.md5 && ParseSigningKey(in.key, key) &&
                   ParseInstallerSignature(in.signature, signature) && digests.Sha256(digest) &&
                   VerifyDigestSignature(key, digest, signature);
    } else {
        CLockedFile file;
        verified = GetFileMD5(in.path) == in.md5 && file.Open(Utf8ToWide(in.path)) &&
                   VerifyInstallerSignature(file.Handle(), in.key, in.signature);
    }
    const double elapsed = Now() - sink.Last();
    return verified ? elapsed : -1;
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("last byte to verdict, %-14s best %.3f s, median %.3f s\n", what, times.front(),
                times[times.size() / 2]);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s URL MD5 KEY SIGNATURE [REPS]\n", argv[0]);
        return 2;
    }
    Input in;
    const std::string url = argv[1];
    in.url = std::wstring(url.begin(), url.end());
    in.md5 = argv[2];
    in.key = argv[3];
    in.signature = argv[4];
    const int reps = argc > 5 ? std::max(1, std::atoi(argv[5])) : 5;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    in.path = WideToUtf8(std::wstring(temp) + L"qmx-bench-verdict.bin");

    std::vector<double> readBack, whileWriting;
    for (int r = 0; r < reps; ++r) {
        const double a = Run(in, false);
        const double b = Run(in, true);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a transfer or its check failed\n");
            return 1;
        }
        readBack.push_back(a);
        whileWriting.push_back(b);
    }
    Report("read back:", readBack);
    Report("while writing:", whileWriting);
    DeleteFileW(Utf8ToWide(in.path).c_str());
    return 0;
}
