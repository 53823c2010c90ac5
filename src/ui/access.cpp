// Focus order and colour choice of the popup. The order follows what the
// user reads: the answer the popup asks for first, the way out last. With
// high contrast on, every colour is one the user chose for the system, so
// nothing of the fixed blue or the bitmaps is left.
#include "ui/access.h"

#include <algorithm>

namespace {

const Rgb kHeaderBlue = 0xAA6330; // RGB(48, 99, 170)
const Rgb kWhite = 0xFFFFFF;
const Rgb kBlack = 0x000000;

} // namespace

std::vector<int> FocusOrder(PopupState state) {
    switch (state) {
    case PopupOffer:
        return {IDC_DOWNLOAD, IDC_LATER, IDC_NEVER_ASK, IDC_CLOSE};
    case PopupCompleted:
        return {IDC_OPEN, IDC_LATER, IDC_CLOSE};
    case PopupFailed:
        return {IDC_DOWNLOAD, IDC_LATER, IDC_CLOSE};
    case PopupDownloading:
    default:
        return {IDC_CLOSE};
    }
}

int NextFocusStop(PopupState state, int current, bool backwards) {
    const std::vector<int> order = FocusOrder(state);
    const auto at = std::find(order.begin(), order.end(), current);
    if (at == order.end())
        return backwards ? order.back() : order.front();
    const size_t index = static_cast<size_t>(at - order.begin());
    const size_t count = order.size();
    return order[backwards ? (index + count - 1) % count : (index + 1) % count];
}

PopupPalette ChoosePopupPalette(bool highContrast, const SystemColours& s) {
    if (!highContrast)
        return {false, kHeaderBlue, kWhite, kBlack, kWhite, kBlack, kWhite, kBlack};
    return {true,         s.highlight,  s.highlightText, s.windowText,
            s.buttonFace, s.buttonText, s.highlight,     s.highlightText};
}
