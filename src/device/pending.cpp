// PLACEHOLDER until the device subsystem lands: delete when implemented.
#include "device/device.h"
#include "config/xml_config.h"
std::string g_strFoundDevicePath;
bool g_bSpotlightModel = false;
bool g_bOfferShown = false;
void SetStoredUrlDirectory(const std::string&) {}
std::string GetStoredUrlDirectory() { return std::string(); }
CXmlHidConfig::CXmlHidConfig() {}
CXmlHidConfig theHidConfig;
bool ScanForSupportedDevice() { return false; }
bool QueryCustomerAndDecide() { return false; }
