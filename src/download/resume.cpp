// The retry decisions of the installer transfer (see resume.h).
#include "download/resume.h"

namespace {

// Retry n waits 2^n seconds.
constexpr unsigned kFirstRetryDelaySeconds = 2;

} // namespace

unsigned RetryDelaySeconds(int retry) {
    if (retry < 1 || retry > kMaxTransferRetries)
        return 0;
    return kFirstRetryDelaySeconds << (retry - 1);
}

bool MayRetry(TransferEnd end, int retriesDone) {
    if (retriesDone >= kMaxTransferRetries)
        return false;
    return end == TransferEnd::NetworkCut || end == TransferEnd::ServerError;
}

std::string InstallerResume::ValidatorFor(const std::string& forUrl, const std::string& forMd5,
                                          const std::string& forSignature) const {
    if (forUrl != url || forMd5 != md5 || forSignature != signature)
        return std::string();
    return validator;
}
