// Finding a supported remote, asking it for its customer number, deciding on
// the offer, and re-checking on device arrival.
#pragma once
#include <string>
#include <vector>

extern std::string g_strFoundDevicePath; // full interface path of the last found remote
extern bool g_bSpotlightModel;           // the found remote is a spotlight model
extern bool g_bOfferShown;               // the last decision prepared the offer

// The stored URL directory (customer document's UrlDirectory). Written by the
// decision on the UI thread, read by the download worker; guarded so that a
// reader never sees a half-written string.
void SetStoredUrlDirectory(const std::string& dir);
std::string GetStoredUrlDirectory();

// HID interface paths of all present HID device interfaces (SetupAPI; the
// testing flavor substitutes its simulated remotes).
std::vector<std::string> EnumHidInterfacePaths();
bool FindSupportedDevicePath(const std::vector<std::string>& paths,
                             const std::vector<std::string>& fragments, std::string& found);
std::string TrimInterfacePath(const std::string& path);
bool ScanForSupportedDevice();

// Customer query report and reply check.
bool IsCustomerReply(const unsigned char* buffer, int length);
// AppDirName that keeps the application path inside the program-files folder:
// relative, no drive, no ".." component.
bool IsSafeAppDirName(const std::wstring& name);
bool QueryCustomerAndDecide();
