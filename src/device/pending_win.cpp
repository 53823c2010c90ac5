// PLACEHOLDER until the device subsystem lands: delete when implemented.
#include "device/arrival.h"
void OnDeviceChange(HWND, WPARAM, LPARAM) {}
