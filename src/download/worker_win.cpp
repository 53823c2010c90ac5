// The download worker: fetches the installer description document from the
// customer's URL directory, downloads the installer it names while the popup
// shows the percentage, checks the file's MD5 digest and switches the popup to
// the completed or failed state.
//
// The worker runs on its own thread and changes the popup's child controls
// directly; the window system delivers those calls to the user-interface
// thread, which never waits for the worker. Only one worker runs at a time:
// a second one would write the same installer file and share the progress
// values, so StartDownloadWorker refuses while one is still running. The end
// of a run (its final state and the running flag) is handed to the popup's
// own thread with a token only that run knows, and a program that ends while a worker runs ends the
// process at once rather than destroy what the worker still uses.
#include "download/download.h"

#include "app/app_win.h"
#include "config/xml_config.h"
#include "device/device.h"
#include "download/digest_pair.h"
#include "download/md5.h"
#include "download/signature.h"
#include "i18n/strings.h"
#include "net/installer.h"
#include "net/tls.h"
#include "support/lock.h"
#include "support/text.h"
#include "support/trace.h"
#include "ui/popup.h"

#include <windows.h>

#include <bcrypt.h>
#include <commctrl.h>
#include <process.h>

#include <array>
#include <atomic>

namespace {

const wchar_t kDescriptionFormat[] = L"%sorvanteer.xml";
const wchar_t kProgressFormat[] = L"%s %d";
constexpr DWORD kRetryPollMs = 100;

// Set before a worker thread starts; cleared together with the final state,
// on the popup's thread when the popup takes the end of the run.
std::atomic<bool> s_workerRunning{false};
// The running worker's token; 0 when none runs.
std::atomic<intptr_t> s_runToken{0};

// A token nobody outside can guess; never 0.
intptr_t NewRunToken() {
    static std::atomic<unsigned> counter{0};
    uint32_t random = 0;
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&random), sizeof random,
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0)
        random = GetTickCount() * 2654435761u ^ ++counter;
    return random != 0 ? static_cast<intptr_t>(random) : 1;
}

// With the maker's key built in, whether the SHA-256 fed while writing
// carries a valid g_strSignature; true without a key.
bool SignatureHolds(CDigestPair& digests) {
    const std::string keyText = SigningKeyText();
    if (keyText.empty())
        return true;
    SigningKey key;
    InstallerSignature signature;
    std::array<uint8_t, kSha256Bytes> digest;
    const bool holds = ParseSigningKey(keyText, key) &&
                       ParseInstallerSignature(g_strSignature, signature) &&
                       digests.Sha256(digest) && VerifyDigestSignature(key, digest, signature);
    TraceLine("signature at download: %s",
              holds ? "verified" : (g_strSignature.empty() ? "missing" : "does not hold"));
    return holds;
}

// Waits `seconds` unless the user ends the download meanwhile (the never-ask
// command clears the flag); false then.
bool WaitBeforeRetry(unsigned seconds) {
    for (unsigned slept = 0; slept < seconds * 1000; slept += kRetryPollMs) {
        if (!IsDownloading())
            return false;
        Sleep(kRetryPollMs);
    }
    return IsDownloading();
}

// The transfer with its automatic retries: each try continues the file the
// one before left. Whether any byte of the result came from an earlier try.
bool TransferInstaller(const std::string& installer, CDigestPair& digests, bool& resumed) {
    InstallerResume& kept = g_installerResume;
    std::string validator = kept.ValidatorFor(g_strDownLoad, g_strMD5, g_strSignature);
    uint64_t total = validator.empty() ? 0 : kept.total;
    bool flowed = false; // an earlier try received bytes
    for (int retry = 0;; ++retry) {
        InstallerTransfer transfer;
        transfer.validator = validator;
        transfer.total = total;
        transfer.sink = &digests;
        transfer.afterFlow = flowed;
        const bool done =
            DownloadToFile(Utf8ToWide(g_strDownLoad), installer, OnDownloadProgress, transfer);
        if (transfer.offset > 0)
            TraceLine("resume at byte %llu: status %ld, retry %d",
                      static_cast<unsigned long long>(transfer.offset), transfer.status, retry);
        resumed = resumed || transfer.appended;
        flowed = flowed || transfer.bodyBytes > 0;
        // A finished file is never continued; an unfinished one only with the
        // validator of the response its bytes came from.
        validator = done ? std::string() : transfer.fileValidator;
        total = done ? 0 : transfer.fileTotal;
        kept = InstallerResume{validator, g_strDownLoad, g_strMD5, g_strSignature, total};
        if (done)
            return true;
        if (!MayRetry(transfer.end, retry) || !WaitBeforeRetry(RetryDelaySeconds(retry + 1)))
            return false;
    }
}

// A TLS build fetches nothing a document names over plain HTTP.
bool AddressRefused(const char* what, const std::string& url) {
    if (!kTlsBuild || DocumentAddressAllowed(url, kTlsBuild))
        return false;
    TraceLine("TLS: %s %s refused, not an https: address", what, url.c_str());
    return true;
}

PopupState RunDownload() {
    CXmlConfig description;
    const std::string directory = GetStoredUrlDirectory();
    if (AddressRefused("download directory", directory))
        return PopupFailed;
    // The directory must end with "/": the file name is glued on as it stands.
    std::wstring url = FormatWString(kDescriptionFormat, Utf8ToWide(directory).c_str());
    description.LoadFromUrl(url);
    description.GetValue("Verson", g_strVerson);
    description.GetValue("DownLoad", g_strDownLoad);
    description.GetValue("MD5", g_strMD5);
    description.GetValue("Signature", g_strSignature);
    if (g_strVerson.empty() || g_strDownLoad.empty() || g_strMD5.empty())
        return PopupFailed;
    if (AddressRefused("installer", g_strDownLoad))
        return PopupFailed;

    const std::string installer = WideToUtf8(GetInstallerPath());
    g_nLastPercent = 0;
    // The digests are fed while the file is written, so the verdict needs no
    // further read of it.
    CDigestPair digests(!SigningKeyText().empty());
    bool resumed = false;
    SetDownloading(true);
    const bool downloaded = TransferInstaller(installer, digests, resumed);
    SetDownloading(false);
    TraceLine("download %s: %s", g_strDownLoad.c_str(), downloaded ? "complete" : "failed");
    if (!downloaded)
        return PopupFailed;

    // The published digest is compared exactly as "%02x" writes it.
    bool verified = digests.Md5Hex() == g_strMD5;
    TraceLine("digest %s the published %s", verified ? "matches" : "differs from",
              g_strMD5.c_str());
    // With the maker's key built in, the signature must hold as well.
    verified = verified && SignatureHolds(digests);
    // A continued file that does not verify may hold bytes of two different
    // files: it goes, and the next run downloads it whole.
    if (!verified && resumed)
        DeleteFileW(Utf8ToWide(installer).c_str());
    return verified ? PopupCompleted : PopupFailed;
}

} // namespace

unsigned __stdcall DownloadWorker(void* arg) {
    const intptr_t token = reinterpret_cast<intptr_t>(arg);
    PopupState outcome = PopupFailed;
    // Nothing may leave a thread entry by exception.
    try {
        outcome = RunDownload();
    } catch (...) {
        SetDownloading(false);
    }
    // The popup's thread applies the final state and ends the run in one
    // step, so a Download press it handles sees either this run still going
    // or its end already shown, never a run that ended behind a downloading
    // state. Without a popup to take it (destroyed, or none at all) the end
    // is applied from here.
    if (SendMessageW(g_hWndPopup, WM_QMX_DOWNLOAD_ENDED, static_cast<WPARAM>(outcome),
                     static_cast<LPARAM>(token)) != kDownloadEndTaken)
        EndDownloadRun(outcome);
    return 0;
}

void EndDownloadRun(int state) {
    SetPopupState(static_cast<PopupState>(state));
    s_runToken.store(0);
    s_workerRunning.store(false);
}

bool TakeDownloadEnd(unsigned state, intptr_t token) {
    if (token == 0 || token != s_runToken.load() || !s_workerRunning.load())
        return false;
    // Only the states a run can end in.
    if (state != PopupCompleted && state != PopupFailed)
        return false;
    EndDownloadRun(static_cast<int>(state));
    return true;
}

void OnDownloadProgress(uint32_t total, uint32_t received) {
    if (!IsDownloading())
        return;
    if (!NextShownPercent(total, received, g_nLastPercent))
        return;
    const uint32_t percent = g_nLastPercent;
    SendMessageW(g_hProgressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    std::wstring text = FormatWString(kProgressFormat, GetString(L"IDS_DOWNLOAD_PROGRESS").c_str(),
                                      static_cast<int>(percent)) +
                        L"%";
    HWND label = GetDlgItem(g_hWndPopup, IDC_PROGRESS_TEXT);
    SetWindowTextW(label, text.c_str());
    // Hiding and showing again makes the transparent label repaint its
    // background instead of drawing the new text over the old one.
    ShowWindow(label, SW_HIDE);
    ShowWindow(label, SW_SHOW);
}

bool StartDownloadWorker() {
    bool idle = false;
    if (!s_workerRunning.compare_exchange_strong(idle, true))
        return false;
    const intptr_t token = NewRunToken();
    s_runToken.store(token);
    uintptr_t thread =
        _beginthreadex(nullptr, 0, DownloadWorker, reinterpret_cast<void*>(token), 0, nullptr);
    if (thread == 0) {
        s_runToken.store(0);
        s_workerRunning.store(false);
        // Without a worker nobody would ever leave the downloading state.
        SetPopupState(PopupFailed);
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

bool IsDownloadWorkerRunning() {
    return s_workerRunning.load();
}

void EndProcessIfDownloading(UINT exitCode) {
    // The worker uses the string table, the lock and the installer values,
    // which the runtime's static destructors free once the program returns
    // from its entry; the worker ends with the process here instead. No
    // clean-up of other libraries runs either: the worker may be inside one.
    if (IsDownloadWorkerRunning())
        TerminateProcess(GetCurrentProcess(), exitCode);
}
