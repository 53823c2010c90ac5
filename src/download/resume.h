// Trying the installer transfer again: which failed transfers are tried
// again and after how long, and what the installer file on disk holds of an
// unfinished transfer, so that the next one may continue it.
//
// Pure decisions on plain values, so that both builds can check them; the
// worker (download/worker_win.cpp) acts on what they answer.
#pragma once
#include <cstdint>
#include <string>

#include "net/installer.h"

// Automatic tries after the first one, and the wait before each.
constexpr int kMaxTransferRetries = 3;
// Seconds before retry 1, 2, 3: 2, 4, 8 (0 outside that range).
unsigned RetryDelaySeconds(int retry);
// Whether a transfer that ended so, after `retriesDone` retries, is tried again.
bool MayRetry(TransferEnd end, int retriesDone);

// What the installer file on disk holds of an unfinished transfer: bytes of
// the response whose validator is kept here, for the installer named by the
// description values it was downloaded for.
struct InstallerResume {
    std::string validator; // empty: nothing to resume, the next transfer starts over
    std::string url;
    std::string md5;
    std::string signature;
    uint64_t total = 0; // the file's size as first announced (0: not known)

    // The validator to send for this description, or empty when the
    // description names another installer (or nothing may be resumed).
    std::string ValidatorFor(const std::string& forUrl, const std::string& forMd5,
                             const std::string& forSignature) const;
};
