// The release exe's view of the machine's HID interfaces: the device paths of
// every present HID device interface, listed through SetupAPI in device
// order, then interface order. Only the product links this file; the testing
// flavor and the unit tests list simulated remotes instead.
#include "device/device.h"

#include <windows.h>

#include <setupapi.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// GUID_DEVINTERFACE_HID {4D1E55B2-F16F-11CF-88CB-001111000030}, spelled out
// so no GUID library needs to be linked.
const GUID kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

#ifndef _WIN64
// SetupAPI checks cbSize against the fixed part of the structure, which is
// packed to 5 bytes in a 32-bit build.
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "32-bit detail data size");
static_assert(sizeof(SP_DEVINFO_DATA) == 28 && sizeof(SP_DEVICE_INTERFACE_DATA) == 28,
              "32-bit record sizes");
#endif

class DeviceInfoSet {
  public:
    explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
    ~DeviceInfoSet() {
        if (valid())
            SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

  private:
    HDEVINFO set_;
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// The interface's device path, or empty when the detail query fails.
std::string InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& iface) {
    DWORD required = 0;
    // Asked without a buffer, the call fails by design and reports the size.
    SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        return std::string();
    std::unique_ptr<void, FreeDeleter> buffer(std::calloc(1, required));
    if (!buffer)
        return std::string();
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, required, nullptr, nullptr))
        return std::string();
    // DevicePath is terminated within the buffer SetupAPI sized for it; bound
    // the read by the buffer all the same.
    const size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    return std::string(detail->DevicePath, strnlen(detail->DevicePath, room));
}

} // namespace

std::vector<std::string> EnumHidInterfacePaths() {
    std::vector<std::string> paths;
    DeviceInfoSet set(SetupDiGetClassDevsA(&kHidInterfaceClass, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.valid())
        return paths;
    for (DWORD device = 0;; ++device) {
        SP_DEVINFO_DATA info = {};
        info.cbSize = sizeof(info);
        if (!SetupDiEnumDeviceInfo(set.get(), device, &info))
            break;
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA iface = {};
            iface.cbSize = sizeof(iface);
            if (!SetupDiEnumDeviceInterfaces(set.get(), &info, &kHidInterfaceClass, index, &iface))
                break;
            paths.push_back(InterfacePath(set.get(), iface));
        }
    }
    return paths;
}
