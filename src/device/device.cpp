// Device-side values shared across the program and the pure pieces of the
// device work: matching enumerated HID interface paths against the table of
// supported remotes, trimming a matched path, recognising the remote's
// customer reply, and vetting the application folder name a customer
// document supplies. Everything here builds on both the Windows and the host
// tree so it can be tested without a remote.
#include "device/device.h"

#include "config/xml_config.h"

#include <mutex>

std::string g_strFoundDevicePath;
bool g_bSpotlightModel = false;
bool g_bOfferShown = false;

namespace {

// The stored URL directory is written by a decision on the UI thread and
// read by a download worker; the mutex makes every read see a whole value.
std::mutex g_urlDirectoryMutex;
std::string g_strUrlDirectory;

// A Bluetooth-LE remote exposes one path per collection; only this one
// carries the customer exchange.
const char kBleCustomerCollection[] = "&col03#";

// Customer reply header: report id, then two header bytes.
const unsigned char kReplyReportId = 0x03;
const unsigned char kReplyHeader1 = 0x21;
const unsigned char kReplyHeader2 = 0x04;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

void SetStoredUrlDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> hold(g_urlDirectoryMutex);
    g_strUrlDirectory = dir;
}

std::string GetStoredUrlDirectory() {
    std::lock_guard<std::mutex> hold(g_urlDirectoryMutex);
    return g_strUrlDirectory;
}

bool FindSupportedDevicePath(const std::vector<std::string>& paths,
                             const std::vector<std::string>& fragments, std::string& found) {
    const std::string& ble = theHidConfig.bleFragment;
    // Paths form the outer loop: the remote enumerated first wins, whatever
    // table entry it matches.
    for (const std::string& path : paths) {
        for (const std::string& fragment : fragments) {
            if (!Contains(path, fragment))
                continue;
            if (!ble.empty() && Contains(path, ble) && !Contains(path, kBleCustomerCollection))
                continue;
            found = TrimInterfacePath(path);
            return true;
        }
    }
    return false;
}

std::string TrimInterfacePath(const std::string& path) {
    const size_t first = path.find_first_of("\\?hid#v");
    if (first == std::string::npos)
        return path;
    const size_t last = path.rfind('}'); // npos: keep through the end
    if (first == 0 && last != std::string::npos && last + 1 >= path.size())
        return path;
    if (last != std::string::npos && last < first)
        return std::string();
    const size_t count = last == std::string::npos ? std::string::npos : last - first + 1;
    return path.substr(first, count);
}

bool IsCustomerReply(const unsigned char* buffer, int length) {
    return buffer != nullptr && length > 0 && buffer[0] == kReplyReportId &&
           buffer[1] == kReplyHeader1 && buffer[2] == kReplyHeader2;
}

bool IsSafeAppDirName(const std::wstring& name) {
    if (name.empty())
        return false;
    // Rooted ("\x", "/x", "\\server", "\\?\") or drive-qualified ("C:x"), and
    // any other colon (stream names) are refused outright.
    if (name[0] == L'\\' || name[0] == L'/')
        return false;
    for (wchar_t c : name) {
        if (c == L':' || c == L'\0')
            return false;
    }
    // Walk the components. Windows drops trailing dots and spaces from a
    // component, so "..", ".. " and "..." all climb; only "." and empty
    // components (doubled separators) are harmless among the dot-only ones.
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = name.size();
        const std::wstring part = name.substr(start, end - start);
        const bool dotsAndSpacesOnly = part.find_first_not_of(L". ") == std::wstring::npos;
        if (!part.empty() && dotsAndSpacesOnly && part != L".")
            return false;
        start = end + 1;
    }
    return true;
}
