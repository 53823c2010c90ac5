// Simulated remotes for the testing flavor of the exe and the Windows unit
// tests. They stand in for hidapi (hid_open_path, hid_write,
// hid_read_timeout, hid_close) and for the SetupAPI enumeration
// (EnumHidInterfacePaths), and supply the download server address.
//
// The testing exe reads a scenario description file named by the environment
// variable QMX_SIM_FILE, re-read at every enumeration so a test can attach or
// detach remotes while the program runs. Format (UTF-8, one key=value a line,
// '#' starts a comment):
//
//   server=http://127.0.0.1:8123        download server base address
//   [device]                            one section per interface path
//   path=\\?\hid#vid_1d57&pid_ad03&mi_00&col03#7&1a2b3c4d&0&0002#{4d1e55b2-f16f-11cf-88cb-001111000030}
//   open=yes                            no: hid_open_path fails
//   write_fail=0                        0, 1 (first write fails) or 2 (both fail)
//   reply_after=0                       failed reads before the reply comes
//   reply=03 21 04 00 00 00 00 07       reply bytes (hex), or "none"
//
// Unit tests set the devices directly with SimSetDevices instead.
#pragma once
#include <string>
#include <vector>

struct SimDevice {
    std::string path;
    bool opens = true;
    int writeFail = 0;  // how many of the first writes fail (0, 1, 2)
    int replyAfter = 0; // failed reads before the reply
    bool replies = true;
    unsigned char reply[8] = {0x03, 0x21, 0x04, 0, 0, 0, 0, 0};
};

struct SimCounters {
    int opens = 0, writes = 0, reads = 0, closes = 0;
    std::vector<unsigned char> lastWrite;
};

// Replaces the description with these devices (in enumeration order) and
// stops reading QMX_SIM_FILE. Resets the counters.
void SimSetDevices(const std::vector<SimDevice>& devices);
// Goes back to reading QMX_SIM_FILE.
void SimUseFile();
const SimCounters& SimGetCounters();
// Parses a description text (exposed for tests).
bool SimParseDescription(const std::string& text, std::vector<SimDevice>& devices,
                         std::string& server);
