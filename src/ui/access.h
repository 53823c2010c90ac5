// What keyboard and assistive-technology users get from the popup, as plain
// values: the order in which Tab visits the buttons of each state, and the
// colours the popup draws with, its own or the system's when high contrast
// is on. The window code applies these; they carry no Windows types.
#pragma once
#include "ui/layout.h"

#include <cstdint>
#include <vector>

// The buttons Tab visits in `state`, in order: the state's main action
// first, then the other buttons in reading order, close last. Labels are
// never stops.
std::vector<int> FocusOrder(PopupState state);
// The stop after (or before, `backwards`) control `current` in `state`; a
// control that is no stop of the state (the popup itself, a hidden button)
// leads to the first stop, or to the last going backwards.
int NextFocusStop(PopupState state, int current, bool backwards);

// Colours as 0x00BBGGRR, the layout of a Windows COLORREF.
typedef uint32_t Rgb;

// The system colours a high-contrast popup draws with.
struct SystemColours {
    Rgb window, windowText, highlight, highlightText, buttonFace, buttonText;
};

struct PopupPalette {
    bool system;  // false: the popup's own look (fixed blue, bitmaps)
    Rgb header;   // header band
    Rgb title;    // title text, logo and close cross on the header
    Rgb text;     // other labels, outline
    Rgb face;     // button face, normal
    Rgb faceText; // its text and frame
    Rgb hotFace;  // button face under the mouse
    Rgb hotText;  // its text and frame
};
PopupPalette ChoosePopupPalette(bool highContrast, const SystemColours& system);
