// Measures the two heavy steps of a download run against the command-line
// tools that do the same job on the same file:
//   - DownloadToFile (libcurl easy interface, file written through CFileEx)
//     against the curl tool, both fetching one file from a loopback nginx;
//   - GetFileMD5 (our MD5 over 1024-byte reads) against md5sum;
//   - the bytes received to finish the file after a cut at 90 %, resumed and
//     started over.
// Each figure is the best of several repetitions, ours and the tool's taken
// in turn (the file stays in the page cache, so the figures compare the
// programs rather than the disk). A ratio
// of 1.0 means as fast as the tool; higher is faster.
//
//   qmx_bench [--size-mib N] [--reps N] [--port P] [--keep]
#include "download/md5.h"
#include "net/installer.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    unsigned sizeMib = 200;
    unsigned reps = 7;
    unsigned port = 18450;
    bool keep = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](unsigned& out) {
            if (i + 1 >= argc)
                return false;
            out = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
            return out > 0;
        };
        if (a == "--size-mib") {
            if (!next(o.sizeMib))
                return false;
        } else if (a == "--reps") {
            if (!next(o.reps))
                return false;
        } else if (a == "--port") {
            if (!next(o.port))
                return false;
        } else if (a == "--keep") {
            o.keep = true;
        } else {
            return false;
        }
    }
    return true;
}

int Run(const std::string& command) {
    int status = std::system(command.c_str());
    return (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

bool WriteTestFile(const std::string& path, unsigned mib) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::vector<unsigned char> chunk(1 << 20);
    uint32_t x = 2463534242u;
    for (auto& b : chunk) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    bool ok = true;
    for (unsigned i = 0; i < mib && ok; ++i) {
        std::memcpy(chunk.data(), &i, sizeof i);
        ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    }
    return std::fclose(f) == 0 && ok;
}

long long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// Wall-clock and processor seconds of one step. The processor time of our
// own steps is this process's; a tool's is that of its finished children.
struct Timing {
    double wall = 1e300;
    double cpu = 1e300;
};

double CpuSeconds(int who) {
    struct rusage ru;
    getrusage(who, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

bool Measure(const std::function<bool()>& step, int who, Timing& best) {
    double cpu0 = CpuSeconds(who);
    auto start = Clock::now();
    if (!step())
        return false;
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    best.wall = std::min(best.wall, wall);
    best.cpu = std::min(best.cpu, CpuSeconds(who) - cpu0);
    return true;
}

// Runs the two steps in turn, `reps` times, and keeps the best times of each:
// alternating spreads any change in the machine's load over both sides.
bool BestOfPairs(unsigned reps, const std::function<bool()>& ours,
                 const std::function<bool()>& theirs, Timing& bestOurs, Timing& bestTheirs) {
    for (unsigned r = 0; r < reps; ++r) {
        if (!Measure(ours, RUSAGE_SELF, bestOurs) || !Measure(theirs, RUSAGE_CHILDREN, bestTheirs))
            return false;
    }
    return true;
}

unsigned long g_progressCalls = 0;
void CountProgress(uint32_t, uint32_t) {
    ++g_progressCalls;
}

// The cut of the resume figure: the progress hook stops nginx (fast shutdown,
// connections closed at once) when 90 % of the file has arrived. The cut
// transfer is served at full speed up to a little before that point and
// slowly from there on, so that the rest of the file is not already on its
// way in the loopback's buffers when the server stops, whatever the size.
std::string g_stopServer;
bool g_cutDone = false;
void CutAt90Percent(uint32_t total, uint32_t received) {
    if (!g_cutDone && received >= total / 10 * 9) {
        g_cutDone = true;
        Run(g_stopServer);
    }
}

constexpr long long kSlowBeforeCutBytes = 256 * 1024;
const char* const kSlowRate = "2m"; // nginx's limit_rate: 2 MB/s

// Body bytes received to finish the file after a cut at 90 %, over its
// size: the cut transfer, then one that continues it (`resume`) or one that
// starts over. Negative when the file does not come out whole.
double BytesToFinishAfterCut(const std::string& url, const std::string& path,
                             const std::string& startServer, bool resume, long long expected) {
    const long long slowFrom = std::max(0LL, expected / 10 * 9 - kSlowBeforeCutBytes);
    const std::string startSlowly = "QMX_NGINX_RATE=" + std::string(kSlowRate) +
                                    " QMX_NGINX_RATE_AFTER=" + std::to_string(slowFrom) + " " +
                                    startServer;
    g_cutDone = false;
    InstallerTransfer cut;
    const std::wstring address(url.begin(), url.end());
    if (Run(g_stopServer) != 0 || Run(startSlowly) != 0 ||
        DownloadToFile(address, path, CutAt90Percent, cut) || !g_cutDone || Run(startServer) != 0)
        return -1;
    InstallerTransfer rest;
    rest.validator = resume ? cut.fileValidator : std::string();
    if (!DownloadToFile(address, path, nullptr, rest) || FileSize(path) != expected ||
        rest.appended != resume)
        return -1;
    return static_cast<double>(cut.bodyBytes + rest.bodyBytes) / static_cast<double>(expected);
}

// Ratios are the tool's time over ours: 1.0 is as fast as the tool.
void Report(const char* what, const char* tool, const Timing& ours, const Timing& theirs,
            double mib) {
    std::printf("%-9s ours %7.1f MiB/s (%.3f s)  %-7s %7.1f MiB/s (%.3f s)  ratio %.3f"
                "   cpu: ours %.3f s, %s %.3f s, ratio %.3f\n",
                what, mib / ours.wall, ours.wall, tool, mib / theirs.wall, theirs.wall,
                theirs.wall / ours.wall, ours.cpu, tool, theirs.cpu, theirs.cpu / ours.cpu);
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s [--size-mib N] [--reps N] [--port P] [--keep]\n", argv[0]);
        return 2;
    }
    char tmpl[] = "/tmp/qmx-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string work = tmpl;
    const std::string docroot = work + "/docroot", run = work + "/nginx";
    const std::string served = docroot + "/setup.bin";
    const std::string ours = work + "/ours.bin", theirs = work + "/theirs.bin";
    const std::string tools = std::string(QMX_SOURCE_DIR) + "/tools";
    const std::string url = "http://127.0.0.1:" + std::to_string(o.port) + "/setup.bin";
    // nginx's worker runs as another user and must reach the served file.
    chmod(work.c_str(), 0755);
    mkdir(docroot.c_str(), 0755);

    std::printf("file %u MiB, best of %u, loopback nginx on port %u\n", o.sizeMib, o.reps, o.port);
    if (!WriteTestFile(served, o.sizeMib)) {
        std::fprintf(stderr, "cannot write %s\n", served.c_str());
        return 1;
    }
    if (Run(tools + "/serve-nginx.sh start " + Quote(docroot) + " " + std::to_string(o.port) + " " +
            Quote(run)) != 0) {
        std::fprintf(stderr, "nginx did not start\n");
        return 1;
    }

    const double mib = o.sizeMib;
    const long long expected = FileSize(served);
    int rc = 0;

    // Warm the page cache and the server once.
    Run("curl -s -o /dev/null " + Quote(url));

    Timing dlOurs, dlCurl;
    bool downloaded = BestOfPairs(
        o.reps,
        [&] {
            return DownloadToFile(std::wstring(url.begin(), url.end()), ours, CountProgress) &&
                   FileSize(ours) == expected;
        },
        [&] {
            return Run("curl -s -o " + Quote(theirs) + " " + Quote(url)) == 0 &&
                   FileSize(theirs) == expected;
        },
        dlOurs, dlCurl);
    if (!downloaded) {
        std::fprintf(stderr, "a download failed\n");
        rc = 1;
    } else {
        Report("download", "curl", dlOurs, dlCurl, mib);
    }

    const std::string startServer = tools + "/serve-nginx.sh start " + Quote(docroot) + " " +
                                    std::to_string(o.port) + " " + Quote(run);
    g_stopServer = tools + "/serve-nginx.sh stop " + Quote(run);
    const double resumed = BytesToFinishAfterCut(url, ours, startServer, true, expected);
    const double restarted = BytesToFinishAfterCut(url, ours, startServer, false, expected);
    if (resumed < 0 || restarted < 0) {
        std::fprintf(stderr, "a transfer cut at 90 %% did not finish whole\n");
        rc = 1;
    } else {
        std::printf("cut at 90 %%: bytes received to finish, over the size: resumed %.3fx, "
                    "started over %.3fx (goal <= 1.12x)\n",
                    resumed, restarted);
    }

    std::string digest;
    Timing md5Ours, md5Tool;
    bool digested = BestOfPairs(
        o.reps,
        [&] {
            digest = GetFileMD5(served);
            return digest.size() == 32;
        },
        [&] { return Run("md5sum " + Quote(served) + " >/dev/null") == 0; }, md5Ours, md5Tool);
    if (!digested) {
        std::fprintf(stderr, "a digest failed\n");
        rc = 1;
    } else {
        Report("md5", "md5sum", md5Ours, md5Tool, mib);
    }

    // The figures only count when both sides computed the same thing.
    FILE* p = popen(("md5sum " + Quote(served)).c_str(), "r");
    char line[128] = {0};
    if (!p || !std::fgets(line, sizeof line, p) || digest != std::string(line, 32)) {
        std::fprintf(stderr, "digest mismatch: ours %s, md5sum %.32s\n", digest.c_str(), line);
        rc = 1;
    }
    if (p)
        pclose(p);
    if (GetFileMD5(ours) != digest) {
        std::fprintf(stderr, "downloaded file differs from the served one\n");
        rc = 1;
    }

    Run(tools + "/serve-nginx.sh stop " + Quote(run));
    if (!o.keep)
        Run("rm -rf " + Quote(work));
    else
        std::printf("kept %s\n", work.c_str());
    return rc;
}
