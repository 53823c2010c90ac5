// The presence scan and the arrival handler against simulated remotes: which
// path is found, how the model family is told, and when the popup is shown.
#include "device_fixture_win.h"

#include "device/arrival.h"

#include <dbt.h>

using namespace devtest;

namespace {

const size_t kSpotlightEntry = 0; // table position 1
const size_t kSimpleEntry = 11;   // table position 12
const char kAppDir[] = "QmxTest Orvanteer";

std::string BlePath(const std::string& col) {
    return "\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}" + theHidConfig.bleFragment +
           "a1b2c3d4e5f6&col" + col + "#9&2f3e4d5c&0&0002#{4d1e55b2-f16f-11cf-88cb-001111000030}";
}

SimDevice Listed(const std::string& path) {
    SimDevice device;
    device.path = path;
    return device;
}

class Scan : public DeviceFixture {};

class Arrival : public DeviceFixture {
  protected:
    void Send(WPARAM event, DWORD deviceType) {
        DEV_BROADCAST_DEVICEINTERFACE_W record = {};
        record.dbcc_size = sizeof(record);
        record.dbcc_devicetype = deviceType;
        OnDeviceChange(popup_, event, reinterpret_cast<LPARAM>(&record));
    }
    void Arrive() { Send(DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE); }
};

} // namespace

// ---- scan ----

TEST_F(Scan, NoRemoteClearsTheSpotlightFlagAndKeepsThePath) {
    g_strFoundDevicePath = "earlier";
    g_bSpotlightModel = true;
    SimSetDevices(
        {Listed(
             "\\\\?\\hid#vid_046d&pid_c52b&mi_00&col01#x#{4d1e55b2-f16f-11cf-88cb-001111000030}"),
         Listed("")});
    EXPECT_FALSE(ScanForSupportedDevice());
    EXPECT_FALSE(g_bSpotlightModel);
    EXPECT_EQ("earlier", g_strFoundDevicePath);
}

TEST_F(Scan, SpotlightRemoteRaisesTheFlag) {
    g_bSpotlightModel = false;
    SimSetDevices({Listed(""), Listed(UsbPath(9))}); // table position 10
    EXPECT_TRUE(ScanForSupportedDevice());
    EXPECT_TRUE(g_bSpotlightModel);
    EXPECT_EQ(UsbPath(9), g_strFoundDevicePath);
}

TEST_F(Scan, SimpleRemoteLeavesTheFlagAsTheCallerSetIt) {
    for (bool before : {false, true}) {
        g_bSpotlightModel = before;
        SimSetDevices({Listed(UsbPath(kSimpleEntry))});
        EXPECT_TRUE(ScanForSupportedDevice());
        EXPECT_EQ(before, g_bSpotlightModel);
        EXPECT_EQ(UsbPath(kSimpleEntry), g_strFoundDevicePath);
    }
}

TEST_F(Scan, BluetoothRemoteIsFoundThroughCollectionThreeOnly) {
    g_bSpotlightModel = false;
    g_strFoundDevicePath.clear();
    SimSetDevices({Listed(BlePath("01")), Listed(BlePath("02"))});
    EXPECT_FALSE(ScanForSupportedDevice());
    EXPECT_TRUE(g_strFoundDevicePath.empty());
    SimSetDevices({Listed(BlePath("01")), Listed(BlePath("03")), Listed(BlePath("02"))});
    EXPECT_TRUE(ScanForSupportedDevice());
    EXPECT_EQ(BlePath("03"), g_strFoundDevicePath);
    EXPECT_TRUE(g_bSpotlightModel);
}

// ---- arrival ----

TEST_F(Arrival, NewOfferShowsTheHiddenPopup) {
    SimSetDevices({Remote(kSpotlightEntry, 7)});
    ServeCustomer(7, FullCustomer("http://x/7/", kAppDir));
    g_bOfferShown = false;
    SetAntiOfferLayout();
    Arrive();
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_TRUE(IsWindowVisible(popup_));
    EXPECT_TRUE(g_bSpotlightModel);
    ExpectOfferLayout();
}

TEST_F(Arrival, SpotlightFlagIsClearedBeforeTheScan) {
    // Customer 5 is offered to simple models only: a stale spotlight flag
    // would refuse the offer.
    SimSetDevices({Remote(kSimpleEntry, 5)});
    ServeCustomer(5, FullCustomer("http://x/5/", kAppDir));
    g_bSpotlightModel = true;
    g_bOfferShown = false;
    Arrive();
    EXPECT_FALSE(g_bSpotlightModel);
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_TRUE(IsWindowVisible(popup_));
}

TEST_F(Arrival, NoOfferLeavesTheWindowAlone) {
    SimSetDevices({Remote(kSpotlightEntry, 3)}); // not in the settings
    g_bOfferShown = false;
    Arrive();
    EXPECT_FALSE(IsWindowVisible(popup_));

    // A visible popup is never hidden from here, even when the flag drops.
    ShowWindow(popup_, SW_SHOW);
    g_bOfferShown = true;
    Arrive();
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_TRUE(IsWindowVisible(popup_));
}

TEST_F(Arrival, OfferAlreadyShownIsNotShownAgain) {
    SimSetDevices({Remote(kSpotlightEntry, 7)});
    ServeCustomer(7, FullCustomer("http://x/7/", kAppDir));
    g_bOfferShown = true; // flag up but window hidden: no rising edge
    Arrive();
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_FALSE(IsWindowVisible(popup_));
    ExpectOfferLayout(); // the decision itself still resets the controls
}

TEST_F(Arrival, NoRemoteMeansNoDecision) {
    SimSetDevices({});
    g_bOfferShown = true;
    g_strFoundDevicePath = UsbPath(kSpotlightEntry);
    Arrive();
    EXPECT_EQ(0, SimGetCounters().openAttempts);
    EXPECT_TRUE(g_bOfferShown);
}

TEST_F(Arrival, RemovalsAndOtherRecordsAreIgnored) {
    SimSetDevices({Remote(kSpotlightEntry, 7)});
    ServeCustomer(7, FullCustomer("http://x/7/", kAppDir));
    g_bOfferShown = false;
    g_bSpotlightModel = true;
    Send(DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE);
    Send(DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME);
    Send(DBT_DEVNODES_CHANGED, DBT_DEVTYP_DEVICEINTERFACE);
    OnDeviceChange(popup_, DBT_DEVICEARRIVAL, 0); // no record at all
    EXPECT_EQ(0, SimGetCounters().openAttempts);
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_TRUE(g_bSpotlightModel);
    EXPECT_FALSE(IsWindowVisible(popup_));
}

TEST_F(Arrival, RunningCompanionSuppressesTheCheck) {
    const std::wstring standin = Env(L"QMX_TEST_STANDIN");
    if (standin.empty())
        GTEST_SKIP() << "stand-in program not built";
    wchar_t temp[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring companion = std::wstring(temp) + L"Orvanteer_Net40.exe";
    ASSERT_TRUE(CopyFileW(standin.c_str(), companion.c_str(), FALSE));
    madeFiles_.push_back(companion);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring commandLine = L"\"" + companion + L"\"";
    ASSERT_TRUE(CreateProcessW(companion.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &si, &pi));

    SimSetDevices({Remote(kSpotlightEntry, 7)});
    ServeCustomer(7, FullCustomer("http://x/7/", kAppDir));
    g_bOfferShown = false;
    g_bSpotlightModel = true;
    Arrive();
    const int opens = SimGetCounters().openAttempts;

    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(0, opens);
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_TRUE(g_bSpotlightModel); // not even the flag is touched
    EXPECT_FALSE(IsWindowVisible(popup_));
}
