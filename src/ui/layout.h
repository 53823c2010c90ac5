// Popup geometry and states as plain values: control rectangles at any screen
// size, the hit-test bands used for dragging, which controls each state
// shows, and where never-ask may write. The window code uses these; they
// carry no Windows types.
#pragma once
#include <string>

enum {
    IDC_TITLE = 19001,
    IDC_OFFER_TEXT = 19002,
    IDC_SUCCESS_TEXT = 19003,
    IDC_FAILURE_TEXT = 19004,
    IDC_PROGRESS_TEXT = 19005,
    IDC_CLOSE = 20000,
    IDC_DOWNLOAD = 20001,
    IDC_LATER = 20002,
    IDC_OPEN = 20003,
    IDC_NEVER_ASK = 20004,
    IDC_PROGRESS_BAR = 20005,
};

enum PopupState { PopupOffer, PopupDownloading, PopupCompleted, PopupFailed };

struct CtlRect {
    int x, y, w, h;
};

// Rectangles of every control for a screen of screenW x screenH; `japanese`
// widens the never-ask button (string table 137).
struct PopupLayout {
    int width, height; // the popup itself
    int header;        // H
    CtlRect title, offerText, successText, failureText, progressBar, progressText;
    CtlRect close, download, open, later, neverAsk;
};
PopupLayout ComputePopupLayout(int screenW, int screenH, bool japanese);

// Scaling rules for a given screen size.
int ScaleFor(int screenExtent, int reference, int value);

// Ids switched by SetPopupState, in the order they are applied.
extern const int kSwitchedControls[9];
// Whether `state` shows the control `id` (one of kSwitchedControls).
bool StateShows(PopupState state, int id);

// Whether the Open command may start the installer: only from the completed
// state (a verified download) with no worker running. Any process on the
// desktop can post the command, whatever the popup shows.
bool OpenAllowed(PopupState shown, bool workerRunning);

// WM_NCHITTEST answer for a point in client coordinates.
int PopupHitTest(int x, int y, int left, int top, int right, int bottom);

// Whether never-ask may write its setting to `iniPath`: never when the
// settings path is empty or is the program file itself (a module whose name
// has no lower-case ".exe" keeps its own path as settings path).
bool NeverAskMayWrite(const std::wstring& modulePath, const std::wstring& iniPath);
