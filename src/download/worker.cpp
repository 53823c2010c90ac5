// The download worker's values and the percentage rule of its progress
// display, free of Windows calls so that both builds can check them.
#include "download/download.h"

std::string g_strVerson;
std::string g_strDownLoad;
std::string g_strMD5;
std::string g_strSignature;
uint32_t g_nLastPercent = 0;
InstallerResume g_installerResume;

namespace {
constexpr uint32_t kPercent = 100;
} // namespace

uint32_t DownloadPercent(uint32_t total, uint32_t received) {
    if (total == 0)
        return 0;
    if (total < kPercent) {
        // total / 100 would be 0 here: show the plain proportion instead.
        if (received >= total)
            return kPercent;
        return received * kPercent / total; // received < 99, cannot overflow
    }
    return received / (total / kPercent);
}

bool NextShownPercent(uint32_t total, uint32_t received, uint32_t& last) {
    if (total == 0)
        return false;
    uint32_t percent = DownloadPercent(total, received);
    if (percent == last)
        return false;
    last = percent;
    return true;
}
