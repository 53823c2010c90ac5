// The presence scan: is a supported remote attached, and which model family
// is it? Run at start-up and on every USB arrival, on the UI thread.
#include "device/device.h"

#include "config/xml_config.h"
#include "support/trace.h"

#include <windows.h>

namespace {
// Lets a just-arrived remote finish exposing its HID interfaces.
const DWORD kSettleDelayMs = 1000;
} // namespace

bool ScanForSupportedDevice() {
    Sleep(kSettleDelayMs);
    const std::vector<std::string> paths = EnumHidInterfacePaths();
    if (!FindSupportedDevicePath(paths, theHidConfig.supportedInterfaces, g_strFoundDevicePath)) {
        TraceLine("scan: no supported remote among %lu HID interfaces",
                  static_cast<unsigned long>(paths.size()));
        g_bSpotlightModel = false;
        return false;
    }
    // Only ever raised here; the arrival handler clears it before each scan.
    for (const std::string& spotlight : theHidConfig.spotlightInterfaces) {
        if (g_strFoundDevicePath.find(spotlight) != std::string::npos) {
            g_bSpotlightModel = true;
            break;
        }
    }
    TraceLine("scan: found %s (%s model)", g_strFoundDevicePath.c_str(),
              g_bSpotlightModel ? "spotlight" : "simple");
    return true;
}
