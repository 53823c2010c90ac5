// The offer decision against a simulated remote, documents on the loopback
// server and companion installs in the prefix: every outcome, the HID
// exchange's retries, and the application-folder rules.
#include "device_fixture_win.h"

#include "i18n/strings.h"
#include "support/language.h"
#include "support/text.h"

#include <shlobj.h>

using namespace devtest;

namespace {

const unsigned char kQuery[] = {0x81, 0x4B, 0x41, 0x02, 0x00, 0x00, 0x00, 0x0F};
const size_t kSpotlightEntry = 0; // table position 1
const size_t kSimpleEntry = 11;   // table position 12
const char kAppDir[] = "QmxTest Orvanteer";
const char kUrlDir[] = "http://127.0.0.1/downloads/customer007/";

class Decision : public DeviceFixture {
  protected:
    std::wstring AppFolder(const std::string& name = kAppDir) const {
        return ProgramFilesX86() + L"\\" + Utf8ToWide(name);
    }
    // The title and offer text the customer document gives this UI language.
    static std::wstring ExpectedTitle() { return ExpectedText(true); }
    static std::wstring ExpectedOffer() { return ExpectedText(false); }

  private:
    static std::wstring ExpectedText(bool title) {
        std::string first, second;
        CustomerTextKeys(GetUILanguage(), first, second);
        const std::string key = title ? first : second;
        return Utf8ToWide(key.substr(0, key.size() - 1) + (title ? " title" : " offer"));
    }
};

} // namespace

// ---- outcomes that end before the customer document ----

TEST_F(Decision, NoFoundPathTouchesNothing) {
    g_strFoundDevicePath.clear();
    for (bool before : {false, true}) {
        g_bOfferShown = before;
        EXPECT_FALSE(QueryCustomerAndDecide());
        EXPECT_EQ(before, g_bOfferShown);
    }
    EXPECT_EQ(0, SimGetCounters().openAttempts);
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());
}

TEST_F(Decision, DeviceThatCannotBeOpenedClearsTheFlag) {
    SimDevice remote = Remote(kSpotlightEntry, 7);
    remote.opens = false;
    Found(remote, true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    g_bOfferShown = true;
    SetAntiOfferLayout();
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_EQ(1, SimGetCounters().openAttempts);
    EXPECT_EQ(0, SimGetCounters().writes);
    EXPECT_EQ(0, SimGetCounters().closes);
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());
    ExpectAntiOfferLayout();
}

TEST_F(Decision, BothWritesFailingClosesTheDeviceAndClearsTheFlag) {
    SimDevice remote = Remote(kSpotlightEntry, 7);
    remote.writeFail = 2;
    Found(remote, true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    g_bOfferShown = true;
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_EQ(2, SimGetCounters().writes);
    EXPECT_EQ(0, SimGetCounters().reads);
    EXPECT_EQ(1, SimGetCounters().closes);
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());
}

TEST_F(Decision, FirstWriteFailingIsRetriedOnce) {
    SimDevice remote = Remote(kSpotlightEntry, 7);
    remote.writeFail = 1;
    Found(remote, true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_EQ(2, SimGetCounters().writes);
    EXPECT_EQ(1, SimGetCounters().closes);
}

TEST_F(Decision, SendsTheQueryReportAndReadsWithShortTimeouts) {
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    QueryCustomerAndDecide();
    EXPECT_EQ(std::vector<unsigned char>(kQuery, kQuery + sizeof(kQuery)),
              SimGetCounters().lastWrite);
    EXPECT_EQ(1, SimGetCounters().writes);
    EXPECT_EQ(1, SimGetCounters().reads);
    EXPECT_EQ(10, SimGetCounters().lastReadTimeout);
    EXPECT_EQ(SimGetCounters().opens, SimGetCounters().closes);
}

TEST_F(Decision, NoReplyInTenReadsClearsTheFlag) {
    SimDevice remote = Remote(kSpotlightEntry, 7);
    remote.replies = false;
    Found(remote, true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    g_bOfferShown = true;
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_EQ(10, SimGetCounters().reads);
    EXPECT_EQ(1, SimGetCounters().closes);
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());

    // The tenth read is the last one that counts.
    SimDevice late = Remote(kSpotlightEntry, 7);
    late.replyAfter = 10;
    Found(late, true);
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_EQ(10, SimGetCounters().reads);
}

TEST_F(Decision, ReplyOnTheFourthReadCounts) {
    SimDevice remote = Remote(kSpotlightEntry, 7);
    remote.replyAfter = 3;
    Found(remote, true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_EQ(4, SimGetCounters().reads);
    EXPECT_EQ(kUrlDir, GetStoredUrlDirectory());
}

TEST_F(Decision, WrongHeaderIsIgnoredAndTheReadRetried) {
    SimDevice remote = Remote(kSpotlightEntry, 7);
    remote.wrongReplies = 2; // customer 0xEE in a report with a wrong header
    Found(remote, true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_EQ(3, SimGetCounters().reads);
    EXPECT_EQ(kUrlDir, GetStoredUrlDirectory()); // customer 7's document
}

TEST_F(Decision, CustomerMissingFromTheSettingsClearsTheFlag) {
    Found(Remote(kSpotlightEntry, 3), true);
    ServeCustomer(3, FullCustomer(kUrlDir, kAppDir));
    g_bOfferShown = true;
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());
    EXPECT_TRUE(theCustomer.values.empty());
}

TEST_F(Decision, EmptyCustomerSettingsOfferNothing) {
    theCustomersetting.customers.clear();
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    g_bOfferShown = true;
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
}

TEST_F(Decision, ModePicksTheSpotlightOrTheSimpleSetting) {
    ServeCustomer(5, FullCustomer(kUrlDir, kAppDir));
    Found(Remote(kSpotlightEntry, 5), true);
    g_bOfferShown = true;
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());

    Found(Remote(kSimpleEntry, 5), false);
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_TRUE(g_bOfferShown);

    Found(Remote(kSimpleEntry, 6), false);
    ServeCustomer(6, FullCustomer(kUrlDir, kAppDir));
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
}

// ---- the customer document ----

TEST_F(Decision, CustomerZeroFetchesFolderCustomer000) {
    Found(Remote(kSpotlightEntry, 0), true);
    ServeCustomer(0, FullCustomer("http://x/customer000/", kAppDir));
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_EQ("http://x/customer000/", GetStoredUrlDirectory());
}

TEST_F(Decision, CustomerDocumentNotLoadedLeavesEverything) {
    Found(Remote(kSpotlightEntry, 9), true); // nothing served for customer 9
    SetAntiOfferLayout();
    for (bool before : {false, true}) {
        g_bOfferShown = before;
        EXPECT_FALSE(QueryCustomerAndDecide());
        EXPECT_EQ(before, g_bOfferShown);
    }
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());
    ExpectAntiOfferLayout();
    EXPECT_EQ(L"table title", Text(19001));

    // A document that parses but yields no keys counts the same.
    ServeCustomer(9, "");
    g_bOfferShown = true;
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());
}

TEST_F(Decision, UnreachableServerLeavesEverything) {
    const std::wstring server = Env(L"QMX_SIM_SERVER");
    _wputenv(L"QMX_SIM_SERVER=http://127.0.0.1:1");
    Found(Remote(kSpotlightEntry, 7), true);
    g_bOfferShown = true;
    const bool offered = QueryCustomerAndDecide();
    _wputenv((L"QMX_SIM_SERVER=" + server).c_str());
    EXPECT_FALSE(offered);
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_EQ("untouched/", GetStoredUrlDirectory());
}

TEST_F(Decision, MissingAppDirNameStopsAfterStoringTheUrlDirectory) {
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, "<UrlDirectory>http://x/only-url/</UrlDirectory><English1>t</English1>");
    SetAntiOfferLayout();
    for (bool before : {false, true}) {
        g_bOfferShown = before;
        EXPECT_FALSE(QueryCustomerAndDecide());
        EXPECT_EQ(before, g_bOfferShown);
    }
    EXPECT_EQ("http://x/only-url/", GetStoredUrlDirectory());
    ExpectAntiOfferLayout();

    ServeCustomer(7, "<AppDirName></AppDirName>");
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_TRUE(g_bOfferShown);
}

TEST_F(Decision, EarlierLoadSuppliesMissingKeys) {
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    EXPECT_TRUE(QueryCustomerAndDecide());

    // Customer 8's document names neither key: the document object still
    // holds customer 7's, and the decision goes on with them.
    Found(Remote(kSpotlightEntry, 8), true);
    ServeCustomer(8, "<English1>eight</English1>");
    SetStoredUrlDirectory("untouched/");
    g_bOfferShown = false;
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_EQ(kUrlDir, GetStoredUrlDirectory());
    EXPECT_EQ("eight", theCustomer.values["English1"]);
}

// ---- installed or not ----

TEST_F(Decision, NotInstalledPreparesTheOffer) {
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    SetAntiOfferLayout();
    g_bOfferShown = false;
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_EQ(kUrlDir, GetStoredUrlDirectory());
    ExpectOfferLayout();
    EXPECT_EQ(ExpectedTitle(), Text(19001));
    EXPECT_EQ(ExpectedOffer(), Text(19002));
    EXPECT_TRUE(StartedCompanions().empty());
    EXPECT_FALSE(IsWindowVisible(popup_)); // showing is the caller's part
}

TEST_F(Decision, TextsAreSetEvenWhenEmpty) {
    Found(Remote(kSimpleEntry, 7), false);
    ServeCustomer(7, std::string("<AppDirName>") + kAppDir + "</AppDirName>");
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_EQ(L"", Text(19001));
    EXPECT_EQ(L"", Text(19002));
}

TEST_F(Decision, MissingControlsAreSkipped) {
    DestroyWindow(GetDlgItem(popup_, 20004));
    DestroyWindow(GetDlgItem(popup_, 19001));
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    SetAntiOfferLayout();
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_TRUE(Shown(20002)); // the control after the missing one
    EXPECT_FALSE(Shown(19004));
    EXPECT_EQ(ExpectedOffer(), Text(19002));
}

TEST_F(Decision, InstalledSpotlightModelStartsTheApplicationWithCheck) {
    if (!InstallCompanion(AppFolder()))
        GTEST_SKIP() << "stand-in program not built";
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    SetAntiOfferLayout();
    g_bOfferShown = true;
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_EQ(kUrlDir, GetStoredUrlDirectory());
    EXPECT_EQ(1u, StartedCompanions().size());
    ASSERT_TRUE(WaitForLogLine("-qmx_check"));
    EXPECT_NE(std::string::npos, ReadTextFile(logPath_).find("orvanteer.exe"));
    ExpectAntiOfferLayout();
}

TEST_F(Decision, InstalledSimpleModelStartsNothing) {
    if (!InstallCompanion(AppFolder()))
        GTEST_SKIP() << "stand-in program not built";
    Found(Remote(kSimpleEntry, 7), false);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    SetAntiOfferLayout();
    g_bOfferShown = true;
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_FALSE(g_bOfferShown);
    EXPECT_EQ(kUrlDir, GetStoredUrlDirectory());
    EXPECT_TRUE(StartedCompanions().empty());
    ExpectAntiOfferLayout();
}

TEST_F(Decision, NestedAppFolderIsAllowed) {
    if (!InstallCompanion(AppFolder("QmxTest Valdry")) ||
        !InstallCompanion(AppFolder("QmxTest Valdry\\Orvanteer")))
        GTEST_SKIP() << "stand-in program not built";
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, FullCustomer(kUrlDir, "QmxTest Valdry/Orvanteer"));
    EXPECT_FALSE(QueryCustomerAndDecide());
    EXPECT_EQ(1u, StartedCompanions().size());
}

TEST_F(Decision, FolderNamedLikeTheApplicationCountsAsNotInstalled) {
    const std::wstring folder = AppFolder();
    ASSERT_EQ(ERROR_SUCCESS,
              SHCreateDirectoryExW(nullptr, (folder + L"\\orvanteer.exe").c_str(), nullptr));
    madeDirs_.push_back(folder);
    madeDirs_.push_back(folder + L"\\orvanteer.exe");
    Found(Remote(kSpotlightEntry, 7), true);
    ServeCustomer(7, FullCustomer(kUrlDir, kAppDir));
    EXPECT_TRUE(QueryCustomerAndDecide());
    EXPECT_TRUE(g_bOfferShown);
    EXPECT_TRUE(StartedCompanions().empty());
}

TEST_F(Decision, OverlongAppDirNameCountsAsNotInstalled) {
    const size_t room = MAX_PATH - 1 - ProgramFilesX86().size() - 2 - 13; // fills the path exactly
    for (size_t length : {room, room + 1, size_t(300), size_t(5000)}) {
        SCOPED_TRACE(length);
        Found(Remote(kSpotlightEntry, 7), true);
        ServeCustomer(7, FullCustomer(kUrlDir, std::string(length, 'a')));
        g_bOfferShown = false;
        EXPECT_TRUE(QueryCustomerAndDecide());
        EXPECT_TRUE(g_bOfferShown);
        EXPECT_TRUE(StartedCompanions().empty());
    }
}

TEST_F(Decision, AppDirNameLeavingProgramFilesIsRefused) {
    // A companion outside program files, reachable only by climbing out.
    const std::wstring outside = L"C:\\QmxTestEscape";
    if (!InstallCompanion(outside))
        GTEST_SKIP() << "stand-in program not built";
    Found(Remote(kSpotlightEntry, 7), true);
    SetAntiOfferLayout();
    for (const char* name : {"..\\QmxTestEscape", "../QmxTestEscape", "C:\\QmxTestEscape",
                             "\\QmxTestEscape", "x\\..\\..\\QmxTestEscape"}) {
        SCOPED_TRACE(name);
        ServeCustomer(7, FullCustomer(kUrlDir, name));
        for (bool before : {false, true}) {
            g_bOfferShown = before;
            SetStoredUrlDirectory("untouched/");
            EXPECT_FALSE(QueryCustomerAndDecide());
            EXPECT_EQ(before, g_bOfferShown);
            EXPECT_EQ(kUrlDir, GetStoredUrlDirectory()); // as with a missing name
        }
    }
    EXPECT_TRUE(StartedCompanions().empty());
    ExpectAntiOfferLayout();
}
