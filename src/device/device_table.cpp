// The built-in table of supported remotes: HID interface-path fragments that
// identify the maker's presentation remotes, in the fixed order the matcher
// and the model-family test rely on.
//
// Ids used (vendor 1d57, lower-case hex as SetupAPI writes them):
//   spotlight models, positions 1-11
//     pid ad03..ad06  USB receivers, interface 00 collection 03 and
//                     interface 01 collection 02 (positions 1-8)
//     pid ad07        USB receiver whose interface 02 has no collections
//                     (position 9, the only fragment of that form)
//     pid ad08        USB receiver, interface 00 collection 03 (position 10)
//     pid ad09        Bluetooth-LE remote, revision 0001 (position 11)
//   simple models, positions 12-17
//     pid ac01..ac03  USB receivers, interface 00 collection 03 and
//                     interface 01 collection 02
// The spotlight list is, by position, the first eleven entries.
#include "config/xml_config.h"

namespace {

const char* const kSupportedInterfaces[] = {
    "#vid_1d57&pid_ad03&mi_00&col03#",    // 1
    "#vid_1d57&pid_ad03&mi_01&col02#",    // 2
    "#vid_1d57&pid_ad04&mi_00&col03#",    // 3
    "#vid_1d57&pid_ad04&mi_01&col02#",    // 4
    "#vid_1d57&pid_ad05&mi_00&col03#",    // 5
    "#vid_1d57&pid_ad05&mi_01&col02#",    // 6
    "#vid_1d57&pid_ad06&mi_00&col03#",    // 7
    "#vid_1d57&pid_ad06&mi_01&col02#",    // 8
    "#vid_1d57&pid_ad07&mi_02#",          // 9: interface without collections
    "#vid_1d57&pid_ad08&mi_00&col03#",    // 10
    "_dev_vid&021d57_pid&ad09_rev&0001_", // 11: Bluetooth-LE
    "#vid_1d57&pid_ac01&mi_00&col03#",    // 12
    "#vid_1d57&pid_ac01&mi_01&col02#",    // 13
    "#vid_1d57&pid_ac02&mi_00&col03#",    // 14
    "#vid_1d57&pid_ac02&mi_01&col02#",    // 15
    "#vid_1d57&pid_ac03&mi_00&col03#",    // 16
    "#vid_1d57&pid_ac03&mi_01&col02#",    // 17
};

const size_t kSpotlightCount = 11;   // the first eleven entries
const size_t kBleFragmentIndex = 10; // position 11

} // namespace

CXmlHidConfig::CXmlHidConfig() {
    for (const char* fragment : kSupportedInterfaces)
        supportedInterfaces.emplace_back(fragment);
    spotlightInterfaces.assign(supportedInterfaces.begin(),
                               supportedInterfaces.begin() + kSpotlightCount);
    bleFragment = supportedInterfaces[kBleFragmentIndex];
}

CXmlHidConfig theHidConfig;
