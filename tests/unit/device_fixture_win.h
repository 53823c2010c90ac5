// Shared rig for the device tests that run under Wine: a stand-in popup with
// the controls the decision touches, the simulated remote, documents served
// by the loopback server, and companion installs made from the stand-in
// program under the real program-files folder of the prefix.
#pragma once
#include "../sim/sim.h"
#include "app/app_win.h"
#include "config/xml_config.h"
#include "device/device.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace devtest {

extern const int kOfferShown[];  // ids the offer layout shows
extern const int kOfferHidden[]; // ids it hides

std::wstring Env(const wchar_t* name);
std::wstring ProgramFilesX86();
bool WriteTextFile(const std::wstring& path, const std::string& bytes);
std::string ReadTextFile(const std::wstring& path);
// "\\?\hid" path around a table fragment, as SetupAPI reports it.
std::string UsbPath(size_t tableIndex);

class DeviceFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // customersetting.xml as start-up would have loaded it: customers 0, 7, 8
    // and 9 get every offer, 5 only for simple models, 6 for none.
    void LoadCustomerSettings();
    // Writes customer%03d/windows/customer.xml into the served folder.
    void ServeCustomer(int customer, const std::string& optionChildren);
    // A full customer document body with all texts, UrlDirectory and AppDirName.
    static std::string FullCustomer(const std::string& urlDirectory, const std::string& appDirName);
    // Copies the stand-in to <folder>\orvanteer.exe; false when it cannot.
    bool InstallCompanion(const std::wstring& folder);
    // A remote of the given customer number at table entry `tableIndex`.
    static SimDevice Remote(size_t tableIndex, int customer);
    // The decision's inputs as a scan would leave them.
    void Found(const SimDevice& remote, bool spotlight);

    bool Shown(int id) const;
    std::wstring Text(int id) const;
    void SetAntiOfferLayout();
    void ExpectOfferLayout() const;
    void ExpectAntiOfferLayout() const;

    // Processes named orvanteer.exe this test process started.
    std::vector<DWORD> StartedCompanions() const;
    // Waits (bounded) until the stand-in's log has a line with `text`.
    bool WaitForLogLine(const std::string& text) const;

    HWND popup_ = nullptr;
    std::wstring docroot_;
    std::wstring logPath_;
    std::vector<std::wstring> madeFiles_;
    std::vector<std::wstring> madeDirs_;

  private:
    HWND savedPopup_ = nullptr;
    std::map<std::string, std::string> savedCustomer_;
    std::map<int, CustomerSetting> savedCustomers_;
    std::string savedPath_;
    bool savedSpotlight_ = false;
    bool savedOffer_ = false;
};

} // namespace devtest
