// Supported-remote recognition: the built-in fragment table, matching of
// enumerated interface paths, path trimming, the customer reply check, the
// application-folder name check and the cross-thread URL directory.
#include "config/xml_config.h"
#include "device/device.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <set>
#include <thread>

namespace {

const char kHidSuffix[] = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";

// A USB HID interface path as SetupAPI reports it, around a table fragment.
std::string UsbPath(const std::string& fragment,
                    const std::string& instance = "7&1a2b3c4d&0&0000") {
    return std::string("\\\\?\\hid") + fragment + instance + kHidSuffix;
}

// A Bluetooth-LE HID path for collection `col` (e.g. "03").
std::string BlePath(const std::string& col) {
    return std::string("\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}") +
           theHidConfig.bleFragment + "a1b2c3d4e5f6&col" + col + "#9&2f3e4d5c&0&000" + col +
           kHidSuffix;
}

const std::vector<std::string>& Table() {
    return theHidConfig.supportedInterfaces;
}

} // namespace

// ---- the table ----

TEST(FragmentTable, HasSeventeenEntriesInThreeFormsAtTheirPositions) {
    ASSERT_EQ(17u, Table().size());
    const std::regex collection("#vid_[0-9a-f]{4}&pid_[0-9a-f]{4}&mi_[0-9a-f]{2}&col[0-9a-f]{2}#");
    const std::regex bare("#vid_[0-9a-f]{4}&pid_[0-9a-f]{4}&mi_[0-9a-f]{2}#");
    const std::regex ble("_dev_vid&02[0-9a-f]{4}_pid&[0-9a-f]{4}_rev&[0-9a-f]{4}_");
    for (size_t i = 0; i < Table().size(); ++i) {
        const std::string& entry = Table()[i];
        SCOPED_TRACE("position " + std::to_string(i + 1) + ": " + entry);
        if (i == 8) {
            EXPECT_EQ(25u, entry.size());
            EXPECT_TRUE(std::regex_match(entry, bare));
        } else if (i == 10) {
            EXPECT_EQ(34u, entry.size());
            EXPECT_TRUE(std::regex_match(entry, ble));
        } else {
            EXPECT_EQ(31u, entry.size());
            EXPECT_TRUE(std::regex_match(entry, collection));
        }
    }
}

TEST(FragmentTable, EntriesAreDistinctAndNoneContainsAnother) {
    // A fragment inside another would make the longer one unreachable.
    std::set<std::string> unique(Table().begin(), Table().end());
    EXPECT_EQ(Table().size(), unique.size());
    for (size_t i = 0; i < Table().size(); ++i) {
        for (size_t j = 0; j < Table().size(); ++j) {
            if (i == j)
                continue;
            EXPECT_EQ(std::string::npos, Table()[i].find(Table()[j])) << i << " contains " << j;
        }
    }
}

TEST(FragmentTable, SpotlightListIsTheFirstElevenAndBleIsEntryEleven) {
    ASSERT_EQ(11u, theHidConfig.spotlightInterfaces.size());
    for (size_t i = 0; i < 11; ++i)
        EXPECT_EQ(Table()[i], theHidConfig.spotlightInterfaces[i]);
    EXPECT_EQ(Table()[10], theHidConfig.bleFragment);
    EXPECT_EQ("0.0", theHidConfig.version);
    EXPECT_TRUE(theHidConfig.values.empty());
}

// ---- matching ----

TEST(Matching, EveryUsbEntryMatchesItsOwnPath) {
    for (size_t i = 0; i < Table().size(); ++i) {
        if (i == 10)
            continue;
        std::string found;
        const std::string path = UsbPath(Table()[i]);
        EXPECT_TRUE(FindSupportedDevicePath({path}, Table(), found)) << Table()[i];
        EXPECT_EQ(path, found);
    }
}

TEST(Matching, NoPathsOrNoMatchLeavesTheResultAlone) {
    std::string found = "earlier";
    EXPECT_FALSE(FindSupportedDevicePath({}, Table(), found));
    EXPECT_EQ("earlier", found);
    const std::vector<std::string> others = {UsbPath("#vid_046d&pid_c52b&mi_00&col01#"),
                                             UsbPath("#vid_1d57&pid_ad03&mi_00&col01#"), ""};
    EXPECT_FALSE(FindSupportedDevicePath(others, Table(), found));
    EXPECT_EQ("earlier", found);
}

TEST(Matching, FirstEnumeratedPathWinsWhateverItsTablePosition) {
    const std::string simple = UsbPath(Table()[16]);
    const std::string spotlight = UsbPath(Table()[0]);
    std::string found;
    ASSERT_TRUE(FindSupportedDevicePath({simple, spotlight}, Table(), found));
    EXPECT_EQ(simple, found);
    ASSERT_TRUE(FindSupportedDevicePath({spotlight, simple}, Table(), found));
    EXPECT_EQ(spotlight, found);
}

TEST(Matching, EmptyPathsFromFailedDetailQueriesAreSkipped) {
    const std::string remote = UsbPath(Table()[12]);
    std::string found;
    ASSERT_TRUE(FindSupportedDevicePath({"", "", remote, ""}, Table(), found));
    EXPECT_EQ(remote, found);
    EXPECT_FALSE(FindSupportedDevicePath({"", ""}, Table(), found));
}

TEST(Matching, IsCaseSensitive) {
    std::string upper = Table()[0];
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    std::string found;
    EXPECT_FALSE(FindSupportedDevicePath({UsbPath(upper)}, Table(), found));
    EXPECT_TRUE(found.empty());
}

TEST(Matching, BareInterfaceFragmentNeedsTheHashRightAfterTheInterface) {
    const std::string bare = Table()[8]; // "#vid_...&mi_II#"
    const std::string withCollection = bare.substr(0, bare.size() - 1) + "&col01#";
    std::string found;
    EXPECT_FALSE(FindSupportedDevicePath({UsbPath(withCollection)}, Table(), found));
    ASSERT_TRUE(FindSupportedDevicePath({UsbPath(bare)}, Table(), found));
    EXPECT_EQ(UsbPath(bare), found);
}

TEST(Matching, BluetoothRemoteCountsOnlyThroughCollectionThree) {
    std::string found;
    EXPECT_FALSE(
        FindSupportedDevicePath({BlePath("01"), BlePath("02"), BlePath("04")}, Table(), found));
    EXPECT_TRUE(found.empty());
    ASSERT_TRUE(
        FindSupportedDevicePath({BlePath("01"), BlePath("02"), BlePath("03")}, Table(), found));
    EXPECT_EQ(BlePath("03"), found);
}

TEST(Matching, BluetoothCollectionRuleAppliesToUsbFragmentsToo) {
    // A path carrying the Bluetooth fragment is held to the collection rule
    // whichever fragment it matched.
    const std::string odd =
        std::string("\\\\?\\hid") + Table()[1] + theHidConfig.bleFragment + "&col01#x" + kHidSuffix;
    std::string found;
    EXPECT_FALSE(FindSupportedDevicePath({odd}, Table(), found));
}

TEST(Matching, StoresTheTrimmedPath) {
    const std::string path = UsbPath(Table()[3]);
    std::string found;
    ASSERT_TRUE(FindSupportedDevicePath({"XYZ" + path + "\r\n"}, Table(), found));
    EXPECT_EQ(path, found);
}

// ---- trimming ----

TEST(Trimming, EnumeratedPathsComeBackUnchanged) {
    const std::string path = UsbPath(Table()[0]);
    EXPECT_EQ(path, TrimInterfacePath(path));
    EXPECT_EQ(BlePath("03"), TrimInterfacePath(BlePath("03")));
}

TEST(Trimming, CutsBeforeTheFirstPathCharacterAndAfterTheLastBrace) {
    EXPECT_EQ("\\\\?\\hid#a}", TrimInterfacePath("xyz\\\\?\\hid#a}tail"));
    EXPECT_EQ("hid#a}b}", TrimInterfacePath("XYZhid#a}b}c"));
    // The set is "\?hid#v": any of its characters starts the result.
    EXPECT_EQ("v}", TrimInterfacePath("ABCv}"));
    EXPECT_EQ("d1}", TrimInterfacePath("0d1}"));
}

TEST(Trimming, WithoutBraceKeepsThroughTheEnd) {
    EXPECT_EQ("#vid_1d57", TrimInterfacePath("XX#vid_1d57"));
    EXPECT_EQ("\\\\?\\hid#vid_1d57", TrimInterfacePath("\\\\?\\hid#vid_1d57"));
}

TEST(Trimming, DegenerateInputsDoNotOverrun) {
    EXPECT_EQ("", TrimInterfacePath(""));
    EXPECT_EQ("XYZ", TrimInterfacePath("XYZ")); // nothing to start from
    EXPECT_EQ("", TrimInterfacePath("a}b#c"));  // brace before the start
    EXPECT_EQ("}", TrimInterfacePath("}"));     // nothing to cut
}

// ---- customer reply ----

TEST(CustomerReply, NeedsPositiveLengthAndTheThreeHeaderBytes) {
    unsigned char reply[8] = {0x03, 0x21, 0x04, 0x11, 0x22, 0x33, 0x44, 0x07};
    EXPECT_TRUE(IsCustomerReply(reply, 8));
    EXPECT_TRUE(IsCustomerReply(reply, 1)); // length only has to be positive
    EXPECT_FALSE(IsCustomerReply(reply, 0));
    EXPECT_FALSE(IsCustomerReply(reply, -1));
    EXPECT_FALSE(IsCustomerReply(nullptr, 8));
    const unsigned char wrong[][3] = {{0x02, 0x21, 0x04},
                                      {0x03, 0x04, 0x21},
                                      {0x03, 0x21, 0x05},
                                      {0x00, 0x00, 0x00},
                                      {0x81, 0x4B, 0x41}};
    for (const auto& header : wrong) {
        unsigned char bad[8] = {header[0], header[1], header[2], 0, 0, 0, 0, 7};
        EXPECT_FALSE(IsCustomerReply(bad, 8))
            << int(header[0]) << " " << int(header[1]) << " " << int(header[2]);
    }
}

// ---- application folder names ----

TEST(AppDirName, PlainAndNestedRelativeNamesAreSafe) {
    for (const wchar_t* name :
         {L"Valdry Orvanteer", L"Valdry\\Orvanteer", L"Valdry/Orvanteer 2", L".", L".\\Valdry",
          L"a..b", L"..a", L"Valdry\\", L"a\\\\b", L"\x4E0B\x8F7D"})
        EXPECT_TRUE(IsSafeAppDirName(name)) << WideToUtf8(name);
}

TEST(AppDirName, NamesLeavingTheProgramFilesFolderAreRefused) {
    for (const wchar_t* name :
         {L"", L"..", L"..\\Windows", L"../Windows", L"Valdry\\..\\..\\Windows", L"a/../../b",
          L"Valdry\\..", L"...", L".. ", L"..\\", L"\\Windows", L"/Windows", L"\\\\server\\share",
          L"\\\\?\\C:\\x", L"C:\\Windows", L"C:Windows", L"c:/x", L"Valdry:stream"})
        EXPECT_FALSE(IsSafeAppDirName(name)) << WideToUtf8(name);
    EXPECT_FALSE(IsSafeAppDirName(std::wstring(L"ab\0c", 4)));
}

// ---- stored URL directory ----

TEST(StoredUrlDirectory, KeepsTheLastValue) {
    SetStoredUrlDirectory("http://a/x/");
    SetStoredUrlDirectory("http://b/y/");
    EXPECT_EQ("http://b/y/", GetStoredUrlDirectory());
    SetStoredUrlDirectory("");
    EXPECT_EQ("", GetStoredUrlDirectory());
}

TEST(StoredUrlDirectory, ReaderNeverSeesAMixOfTwoWrites) {
    // Long values so each write reallocates; a torn read would show a value
    // that is neither.
    const std::string a(300, 'a');
    const std::string b = "http://127.0.0.1/" + std::string(500, 'b') + "/";
    SetStoredUrlDirectory(a);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000 && !stop; ++i)
            SetStoredUrlDirectory(i % 2 ? a : b);
    });
    int bad = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string seen = GetStoredUrlDirectory();
        if (seen != a && seen != b)
            ++bad;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(0, bad);
    SetStoredUrlDirectory("");
}
