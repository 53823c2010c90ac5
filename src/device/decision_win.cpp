// The offer decision: ask the found remote for its customer number, look the
// customer up in the customer settings, fetch the customer's own document,
// and then either prepare the popup's offer (companion application missing)
// or, for a spotlight model, start the installed application with its check
// switch. Runs on the UI thread; the callers show or hide the popup from the
// offer-shown flag.
#include "device/device.h"

#include "app/app_win.h"
#include "config/server.h"
#include "config/xml_config.h"
#include "i18n/strings.h"
#include "net/document_wait.h"
#include "support/text.h"
#include "support/trace.h"
#include "ui/popup.h"

#include <hidapi/hidapi.h>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <map>

namespace {

// Customer query: output report 0x81 with the fixed command bytes.
const unsigned char kCustomerQuery[] = {0x81, 0x4B, 0x41, 0x02, 0x00, 0x00, 0x00, 0x0F};
const size_t kReportLength = sizeof(kCustomerQuery);
const int kCustomerByte = 7; // of the reply
const int kNoCustomer = -1;
const int kReadAttempts = 10;
const int kReadTimeoutMs = 10;
const DWORD kRetryDelayMs = 50;

const wchar_t kAppFileName[] = L"orvanteer.exe";
const wchar_t kCheckSwitch[] = L"-qmx_check";

class HidDevice {
  public:
    explicit HidDevice(hid_device* device) : device_(device) {}
    ~HidDevice() {
        if (device_)
            hid_close(device_);
    }
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;
    hid_device* get() const { return device_; }

  private:
    hid_device* device_;
};

enum class Exchange { Answered, NoAnswer, WriteFailed };

// Sends the customer query (one retry) and reads the reply (ten attempts).
Exchange AskCustomerNumber(hid_device* device, int& customer) {
    customer = kNoCustomer;
    if (hid_write(device, kCustomerQuery, kReportLength) < 0) {
        Sleep(kRetryDelayMs);
        if (hid_write(device, kCustomerQuery, kReportLength) < 0)
            return Exchange::WriteFailed;
    }
    unsigned char reply[kReportLength];
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        ZeroMemory(reply, sizeof(reply));
        const int got = hid_read_timeout(device, reply, sizeof(reply), kReadTimeoutMs);
        if (IsCustomerReply(reply, got)) {
            customer = reply[kCustomerByte];
            return Exchange::Answered;
        }
        Sleep(kRetryDelayMs); // after the last miss too
    }
    return Exchange::NoAnswer;
}

bool HasValue(const CXmlConfig& doc, const char* key) {
    return doc.values.find(key) != doc.values.end();
}

} // namespace

bool QueryCustomerAndDecide() {
    const bool spotlight = g_bSpotlightModel;
    if (g_strFoundDevicePath.empty()) {
        TraceLine("decision: found device path empty");
        return false;
    }

    int customer = kNoCustomer;
    {
        HidDevice device(hid_open_path(g_strFoundDevicePath.c_str()));
        if (!device.get()) {
            TraceLine("decision: device cannot be opened");
            g_bOfferShown = false;
            return false;
        }
        if (AskCustomerNumber(device.get(), customer) == Exchange::WriteFailed) {
            TraceLine("decision: both writes fail");
            g_bOfferShown = false;
            return false;
        }
    }
    if (customer < 0) {
        TraceLine("decision: no valid reply in %d reads", kReadAttempts);
        g_bOfferShown = false;
        return false;
    }
    TraceLine("customer number %d", customer);

    const auto entry = theCustomersetting.customers.find(customer);
    if (entry == theCustomersetting.customers.end()) {
        TraceLine("decision: customer not in the customer-settings map");
        g_bOfferShown = false;
        return false;
    }
    if (!(spotlight ? entry->second.spotlightPopup : entry->second.simplePopup)) {
        TraceLine("decision: chosen popup setting false (%s model)",
                  spotlight ? "spotlight" : "simple");
        g_bOfferShown = false;
        return false;
    }

    const std::wstring url = ServerBaseUrl() + FormatWString(QMX_CUSTOMER_PATH_FORMAT, customer);
    if (!theCustomer.LoadFromBody(url, FetchDocumentAnswering(url)) || theCustomer.values.empty()) {
        TraceLine("decision: customer.xml cannot be loaded, or its map is empty");
        return false;
    }
    if (HasValue(theCustomer, "UrlDirectory")) {
        std::string directory;
        theCustomer.GetValue("UrlDirectory", directory);
        SetStoredUrlDirectory(directory);
    }
    std::string appDirName;
    theCustomer.GetValue("AppDirName", appDirName);
    if (appDirName.empty()) {
        TraceLine("decision: AppDirName missing or empty");
        return false;
    }
    const std::wstring appDir = Utf8ToWide(appDirName);
    // A name that would leave the program-files folder is no usable name.
    if (!IsSafeAppDirName(appDir)) {
        TraceLine("decision: AppDirName %s leaves the program-files folder", appDirName.c_str());
        return false;
    }

    WCHAR programFiles[MAX_PATH] = {0};
    const bool haveFolder =
        SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILESX86, FALSE) &&
        programFiles[0] != L'\0';
    // "<program files>\<AppDirName>\orvanteer.exe" must fit MAX_PATH with its
    // terminator. A path that cannot be composed (too long, or no folder to
    // start from) names no application: it counts as not installed.
    const size_t composed = wcslen(programFiles) + 1 + appDir.size() + 1 + wcslen(kAppFileName);
    WCHAR appPath[MAX_PATH] = {0};
    bool installed = false;
    if (haveFolder && composed < MAX_PATH) {
        wsprintfW(appPath, L"%s\\%s\\%s", programFiles, appDir.c_str(), kAppFileName);
        const DWORD attributes = GetFileAttributesW(appPath);
        installed =
            attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    if (!installed) {
        TraceLine("decision: application not installed, offer shown");
        ApplyCustomerTexts();
        SetPopupState(PopupOffer);
        g_bOfferShown = true;
        return true;
    }
    TraceLine("decision: application installed, %s",
              spotlight ? "spotlight mode, started with -qmx_check" : "simple mode");
    if (spotlight)
        ShellExecuteW(nullptr, L"open", appPath, kCheckSwitch, nullptr, SW_SHOW);
    g_bOfferShown = false;
    return false;
}
