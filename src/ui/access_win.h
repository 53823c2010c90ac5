// The popup for users of the keyboard, screen readers and high contrast:
// keys in the message loop, focus, focus cues, accessible names, events,
// and the colours the popup draws with.
#pragma once
#include "ui/access.h"

#include <string>
#include <windows.h>

// The message loop's step for the popup's keys, after the accelerators:
// Tab and Shift+Tab move the focus, Enter presses the focused button, Esc
// acts as the close button. True when the message was used up.
bool PopupKeyboardMessage(const MSG& msg);
// The window the About accelerators are translated for: the popup also
// while one of its buttons has the focus.
HWND AcceleratorTarget(HWND hWnd);

// Messages of the popup's window procedure answered here (focus, accessible
// objects, focus cues, theme changes). True with `result` set when handled.
bool PopupAccessMessage(HWND popup, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
// Called once the controls exist: focus cues start hidden, the progress bar
// gets its accessible name.
void PreparePopupAccess(HWND popup);
// Called after every state change: the focus leaves hidden buttons, and a
// new title is announced as the popup's new name.
void AnnouncePopupState(HWND popup);
// WM_GETOBJECT of the close button.
bool CloseButtonObject(HWND button, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Whether the focused button shows its focus cue: only once the keyboard
// has been used in the popup.
bool PopupFocusCues();
// The colours in use; refreshed when the system's settings change.
const PopupPalette& CurrentPopupPalette();

// The pictures of high contrast, in one colour: the logo's chevron in a
// square of `size` at (x, y), and the close button's cross over `r`.
void DrawChevron(HDC dc, int x, int y, int size, Rgb colour);
void DrawCross(HDC dc, const RECT& r, Rgb colour);

// Whether the system's high-contrast mode is on (SPI_GETHIGHCONTRAST).
bool SystemHighContrast();
// Whether the popup draws in high contrast: the system's setting; the
// testing exe may force it from its scenario.
bool HighContrastOn();

// Answers WM_GETOBJECT for the client or window object of `hWnd` with the
// standard object named `name`; false (answer 0) for other objects.
bool AnswerNameRequest(HWND hWnd, WPARAM wParam, LPARAM lParam, const std::wstring& name,
                       LRESULT& result);
