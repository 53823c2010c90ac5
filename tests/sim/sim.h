// Simulated remotes for the testing flavor of the exe and the Windows unit
// tests. They stand in for hidapi (hid_open_path, hid_write,
// hid_read_timeout, hid_close) and for the SetupAPI enumeration
// (EnumHidInterfacePaths), and supply the download server address, the
// signing key and the high-contrast setting.
//
// The testing exe reads a scenario description file named by the environment
// variable QMX_SIM_FILE, re-read at every enumeration so a test can attach or
// detach remotes while the program runs. Format (UTF-8, one key=value a line;
// a line whose first non-blank character is '#' is a comment - paths contain
// '#' themselves, so there are no trailing comments):
//
//   server=http://127.0.0.1:8123
//       download server base address (else QMX_SIM_SERVER, else
//       http://127.0.0.1:18080)
//   signing_key=BASE64
//       the maker's public key text (X || Y, as "qmxpublish keygen" prints
//       it); without this line the exe runs as one built without a key
//   high_contrast=on
//       the popup draws as in the system's high-contrast mode (off: as the
//       system says); read when the popup is made and at each change of the
//       system's settings or colours
//   [device]
//       one section per interface path, in enumeration order
//   path=\\?\hid#vid_1d57&pid_ad03&mi_00&col03#7&1a2b3c4d&0&0002#{4d1e55b2-f16f-11cf-88cb-001111000030}
//   open=yes
//       no: hid_open_path fails
//   write_fail=0
//       0, 1 (first write fails) or 2 (both fail)
//   reply_after=0
//       reads that time out before the reply comes
//   wrong_replies=0
//       reports with a wrong header (03 21 05 ...) that come next
//   reply=03 21 04 00 00 00 00 07
//       up to 8 reply bytes (hex, missing ones are 0), or "none"
//
// Every hid_open_path starts the remote's behaviour afresh, as a real remote
// answers each query on its own.
//
// Unit tests set the devices directly with SimSetDevices instead.
#pragma once
#include <string>
#include <vector>

struct SimDevice {
    std::string path;
    bool opens = true;
    int writeFail = 0;    // how many of the first writes fail (0, 1, 2)
    int replyAfter = 0;   // reads that time out before the reply
    int wrongReplies = 0; // then reports with a wrong header
    bool replies = true;
    unsigned char reply[8] = {0x03, 0x21, 0x04, 0, 0, 0, 0, 0};
};

struct SimCounters {
    int openAttempts = 0; // calls of hid_open_path
    int opens = 0;        // handles handed out
    int writes = 0, reads = 0, closes = 0;
    int lastReadTimeout = -1;
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
bool SimParseDescription(const std::string& text, std::vector<SimDevice>& devices,
                         std::string& server, std::string& signingKey);
