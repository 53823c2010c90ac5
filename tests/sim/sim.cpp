// Simulated remotes: the testing flavor of the exe and the Windows unit tests
// link this in place of hidapi and the SetupAPI enumeration, so the whole
// device path of the program runs unchanged against remotes described in a
// scenario file (or set directly by a test). Each opened handle replays its
// remote's behaviour from the start: the first writes may fail, the first
// reads may time out, then the reply comes (or never does).
#include "sim.h"

#include "config/server.h"
#include "device/device.h"
#include "download/signature.h"
#include "support/text.h"
#include "ui/access_win.h"

#include <hidapi/hidapi.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

struct hid_device_ {
    SimDevice device;
    int writesDone = 0;
    int readsMissed = 0;
    int wrongSent = 0;
};

namespace {

const wchar_t kDefaultServer[] = L"http://127.0.0.1:18080";
const size_t kReplyLength = sizeof(SimDevice().reply);
const long kMaxDescriptionBytes = 1 << 20;
// A report that is not the customer reply: right report id, wrong header.
const unsigned char kWrongReply[] = {0x03, 0x21, 0x05, 0x00, 0x00, 0x00, 0x00, 0xEE};

std::mutex g_simMutex;
bool g_useFile = true;
std::vector<SimDevice> g_devices; // explicit set, or the last file read
SimCounters g_counters;

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool ParseCount(const std::string& value, int maxValue, int& out) {
    if (value.empty() || value.size() > 6)
        return false;
    for (char c : value) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    const int parsed = std::atoi(value.c_str());
    if (parsed > maxValue)
        return false;
    out = parsed;
    return true;
}

bool ParseReply(const std::string& value, SimDevice& device) {
    if (value == "none") {
        device.replies = false;
        return true;
    }
    unsigned char bytes[kReplyLength] = {0};
    size_t count = 0;
    size_t pos = 0;
    while (pos < value.size()) {
        if (value[pos] == ' ') {
            ++pos;
            continue;
        }
        if (count == kReplyLength || pos + 1 >= value.size() ||
            !std::isxdigit(static_cast<unsigned char>(value[pos])) ||
            !std::isxdigit(static_cast<unsigned char>(value[pos + 1])))
            return false;
        bytes[count++] =
            static_cast<unsigned char>(std::strtoul(value.substr(pos, 2).c_str(), nullptr, 16));
        pos += 2;
    }
    if (count == 0)
        return false;
    device.replies = true;
    std::memcpy(device.reply, bytes, sizeof(bytes));
    return true;
}

bool ReadDescriptionFile(std::string& text) {
    const wchar_t* name = _wgetenv(L"QMX_SIM_FILE");
    if (name == nullptr || *name == L'\0')
        return false;
    FILE* file = _wfopen(name, L"rb");
    if (file == nullptr)
        return false;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0 &&
           text.size() < static_cast<size_t>(kMaxDescriptionBytes))
        text.append(chunk, got);
    fclose(file);
    return true;
}

// The scenario file as it is now: devices, the server and the signing key.
void ReadScenario(std::vector<SimDevice>& devices, std::string& server) {
    std::string text;
    if (ReadDescriptionFile(text))
        SimParseDescription(text, devices, server);
}

void ReadScenario(std::vector<SimDevice>& devices, std::string& server, std::string& signingKey) {
    std::string text;
    if (ReadDescriptionFile(text))
        SimParseDescription(text, devices, server, signingKey);
}

const SimDevice* FindDevice(const std::string& path) {
    for (const SimDevice& device : g_devices) {
        if (device.path == path || TrimInterfacePath(device.path) == path)
            return &device;
    }
    return nullptr;
}

} // namespace

bool SimParseDescription(const std::string& text, std::vector<SimDevice>& devices,
                         std::string& server) {
    std::string signingKey;
    return SimParseDescription(text, devices, server, signingKey);
}

bool SimParseDescription(const std::string& text, std::vector<SimDevice>& devices,
                         std::string& server, std::string& signingKey) {
    bool wellFormed = true;
    bool inDevice = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.size() >= 3 && static_cast<unsigned char>(line[0]) == 0xEF &&
            static_cast<unsigned char>(line[1]) == 0xBB &&
            static_cast<unsigned char>(line[2]) == 0xBF)
            line = Trim(line.substr(3)); // UTF-8 byte-order mark
        if (line.empty() || line[0] == '#')
            continue; // paths contain '#', so only whole-line comments
        if (line == "[device]") {
            devices.emplace_back();
            inDevice = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            wellFormed = false;
            continue;
        }
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "server" && !inDevice) {
            server = value;
            continue;
        }
        if (key == "signing_key" && !inDevice) {
            signingKey = value;
            continue;
        }
        if (key == "high_contrast" && !inDevice)
            continue; // read by HighContrastOn
        if (!inDevice) {
            wellFormed = false;
            continue;
        }
        SimDevice& device = devices.back();
        bool ok = true;
        if (key == "path")
            device.path = value;
        else if (key == "open")
            device.opens = value != "no";
        else if (key == "write_fail")
            ok = ParseCount(value, 2, device.writeFail);
        else if (key == "reply_after")
            ok = ParseCount(value, 1000000, device.replyAfter);
        else if (key == "wrong_replies")
            ok = ParseCount(value, 1000000, device.wrongReplies);
        else if (key == "reply")
            ok = ParseReply(value, device);
        else
            ok = false;
        wellFormed = wellFormed && ok;
    }
    return wellFormed;
}

void SimSetDevices(const std::vector<SimDevice>& devices) {
    std::lock_guard<std::mutex> hold(g_simMutex);
    g_useFile = false;
    g_devices = devices;
    g_counters = SimCounters();
}

void SimUseFile() {
    std::lock_guard<std::mutex> hold(g_simMutex);
    g_useFile = true;
    g_devices.clear();
}

const SimCounters& SimGetCounters() {
    return g_counters;
}

std::vector<std::string> EnumHidInterfacePaths() {
    std::lock_guard<std::mutex> hold(g_simMutex);
    if (g_useFile) {
        std::vector<SimDevice> devices;
        std::string server;
        ReadScenario(devices, server);
        g_devices = devices; // a missing file means no remotes
    }
    std::vector<std::string> paths;
    for (const SimDevice& device : g_devices)
        paths.push_back(device.path);
    return paths;
}

std::wstring BuiltInServerBaseUrl() {
    std::string server;
    {
        std::lock_guard<std::mutex> hold(g_simMutex);
        std::vector<SimDevice> devices;
        ReadScenario(devices, server);
    }
    if (!server.empty())
        return Utf8ToWide(server);
    if (const wchar_t* fromEnv = _wgetenv(L"QMX_SIM_SERVER")) {
        if (*fromEnv != L'\0')
            return fromEnv;
    }
    return kDefaultServer;
}

std::string SigningKeyText() {
    std::lock_guard<std::mutex> hold(g_simMutex);
    std::vector<SimDevice> devices;
    std::string server;
    std::string signingKey;
    ReadScenario(devices, server, signingKey);
    return signingKey;
}

hid_device* HID_API_EXPORT HID_API_CALL hid_open_path(const char* path) {
    std::lock_guard<std::mutex> hold(g_simMutex);
    ++g_counters.openAttempts;
    const SimDevice* device = path ? FindDevice(path) : nullptr;
    if (device == nullptr || !device->opens)
        return nullptr;
    ++g_counters.opens;
    hid_device* handle = new hid_device;
    handle->device = *device;
    return handle;
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* dev, const unsigned char* data,
                                          size_t length) {
    std::lock_guard<std::mutex> hold(g_simMutex);
    ++g_counters.writes;
    if (dev == nullptr || data == nullptr)
        return -1;
    g_counters.lastWrite.assign(data, data + length);
    if (dev->writesDone++ < dev->device.writeFail)
        return -1;
    return static_cast<int>(length);
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device* dev, unsigned char* data,
                                                 size_t length, int milliseconds) {
    std::lock_guard<std::mutex> hold(g_simMutex);
    ++g_counters.reads;
    g_counters.lastReadTimeout = milliseconds;
    if (dev == nullptr || data == nullptr)
        return -1;
    if (!dev->device.replies)
        return 0;
    if (dev->readsMissed < dev->device.replyAfter) {
        ++dev->readsMissed;
        return 0;
    }
    const size_t count = std::min(length, kReplyLength);
    if (dev->wrongSent < dev->device.wrongReplies) {
        ++dev->wrongSent;
        std::memcpy(data, kWrongReply, count);
        return static_cast<int>(count);
    }
    std::memcpy(data, dev->device.reply, count);
    return static_cast<int>(count);
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) {
    std::lock_guard<std::mutex> hold(g_simMutex);
    ++g_counters.closes;
    delete dev;
}

bool HighContrastOn() {
    std::string text;
    {
        std::lock_guard<std::mutex> hold(g_simMutex);
        ReadDescriptionFile(text);
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line == "[device]")
            break;
        const size_t eq = line.find('=');
        if (eq != std::string::npos && Trim(line.substr(0, eq)) == "high_contrast")
            return Trim(line.substr(eq + 1)) == "on";
    }
    return SystemHighContrast();
}
