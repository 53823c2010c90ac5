// The simulated remotes the testing exe runs against: its scenario format,
// the re-read on every enumeration, and the server address it supplies.
#include "device_fixture_win.h"

#include "config/server.h"

#include <hidapi/hidapi.h>

using namespace devtest;

namespace {

class SimScenario : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {0};
        GetTempPathW(MAX_PATH, temp);
        file_ = std::wstring(temp) + L"qmx_sim_test.txt";
        savedServer_ = Env(L"QMX_SIM_SERVER");
        SimUseFile();
        _wputenv((L"QMX_SIM_FILE=" + file_).c_str());
    }
    void TearDown() override {
        DeleteFileW(file_.c_str());
        _wputenv(L"QMX_SIM_FILE=");
        _wputenv((L"QMX_SIM_SERVER=" + savedServer_).c_str());
    }
    std::wstring file_;
    std::wstring savedServer_;
};

const char kScenario[] =
    "\xEF\xBB\xBF# two remotes\r\n"
    "server=http://127.0.0.1:18299\r\n"
    "[device]\r\n"
    "path=\\\\?\\hid#vid_1d57&pid_ad03&mi_00&col03#7&1&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}"
    "\r\n"
    "open=no\r\n"
    "\r\n"
    "[device]\n"
    "  path = "
    "\\\\?\\hid#vid_1d57&pid_ac01&mi_00&col03#7&2&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}\n"
    "write_fail=1\n"
    "reply_after=4\n"
    "wrong_replies=2\n"
    "reply=03 21 04 00 00 00 00 2A\n";

} // namespace

TEST(SimDescription, ReadsDevicesInOrderWithTheirBehaviour) {
    std::vector<SimDevice> devices;
    std::string server;
    EXPECT_TRUE(SimParseDescription(kScenario, devices, server));
    EXPECT_EQ("http://127.0.0.1:18299", server);
    ASSERT_EQ(2u, devices.size());
    EXPECT_EQ(
        "\\\\?\\hid#vid_1d57&pid_ad03&mi_00&col03#7&1&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}",
        devices[0].path);
    EXPECT_FALSE(devices[0].opens);
    EXPECT_EQ(0, devices[0].writeFail);
    EXPECT_TRUE(devices[1].opens);
    EXPECT_EQ(1, devices[1].writeFail);
    EXPECT_EQ(4, devices[1].replyAfter);
    EXPECT_EQ(2, devices[1].wrongReplies);
    EXPECT_TRUE(devices[1].replies);
    EXPECT_EQ(0x2A, devices[1].reply[7]);
}

TEST(SimDescription, BadLinesAreReportedAndSkipped) {
    std::vector<SimDevice> devices;
    std::string server;
    EXPECT_FALSE(
        SimParseDescription("path=outside\n[device]\npath=p\nwrite_fail=7\nreply=zz\nnoise\n"
                            "reply=03 21 04 00 00 00 00 01 99\nreply=none\n",
                            devices, server));
    ASSERT_EQ(1u, devices.size());
    EXPECT_EQ("p", devices[0].path);
    EXPECT_EQ(0, devices[0].writeFail);
    EXPECT_FALSE(devices[0].replies);
    EXPECT_TRUE(server.empty());
}

TEST_F(SimScenario, FileIsReadAgainAtEveryEnumeration) {
    EXPECT_TRUE(EnumHidInterfacePaths().empty()); // no file yet
    ASSERT_TRUE(WriteTextFile(file_, kScenario));
    EXPECT_EQ(2u, EnumHidInterfacePaths().size());
    ASSERT_TRUE(WriteTextFile(file_, "[device]\npath=only\n"));
    const std::vector<std::string> paths = EnumHidInterfacePaths();
    ASSERT_EQ(1u, paths.size());
    EXPECT_EQ("only", paths[0]);
}

TEST_F(SimScenario, RemoteReplaysItsBehaviourOnEveryOpen) {
    ASSERT_TRUE(WriteTextFile(file_, kScenario));
    const std::vector<std::string> paths = EnumHidInterfacePaths();
    ASSERT_EQ(2u, paths.size());
    EXPECT_EQ(nullptr, hid_open_path(paths[0].c_str()));
    EXPECT_EQ(nullptr, hid_open_path("\\\\?\\hid#unknown"));
    for (int round = 0; round < 2; ++round) {
        hid_device* device = hid_open_path(paths[1].c_str());
        ASSERT_NE(nullptr, device);
        const unsigned char query[8] = {0x81};
        EXPECT_LT(hid_write(device, query, 8), 0);
        EXPECT_EQ(8, hid_write(device, query, 8));
        unsigned char reply[8] = {0};
        for (int miss = 0; miss < 4; ++miss)
            EXPECT_EQ(0, hid_read_timeout(device, reply, 8, 10));
        for (int wrong = 0; wrong < 2; ++wrong) {
            EXPECT_EQ(8, hid_read_timeout(device, reply, 8, 10));
            EXPECT_FALSE(IsCustomerReply(reply, 8));
        }
        EXPECT_EQ(8, hid_read_timeout(device, reply, 8, 10));
        EXPECT_TRUE(IsCustomerReply(reply, 8));
        EXPECT_EQ(0x2A, reply[7]);
        hid_close(device);
    }
}

TEST_F(SimScenario, ServerComesFromTheFileThenTheEnvironment) {
    ASSERT_TRUE(WriteTextFile(file_, kScenario));
    EXPECT_EQ(L"http://127.0.0.1:18299", BuiltInServerBaseUrl());
    ASSERT_TRUE(WriteTextFile(file_, "[device]\npath=x\n"));
    _wputenv(L"QMX_SIM_SERVER=http://127.0.0.1:18298");
    EXPECT_EQ(L"http://127.0.0.1:18298", BuiltInServerBaseUrl());
    _wputenv(L"QMX_SIM_SERVER=");
    EXPECT_EQ(L"http://127.0.0.1:18080", BuiltInServerBaseUrl());
}
