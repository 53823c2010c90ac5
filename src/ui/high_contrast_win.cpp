// The product's high-contrast setting: the system's, as the user set it.
// The testing exe substitutes this file to force the mode from its scenario.
#include "ui/access_win.h"

bool HighContrastOn() {
    return SystemHighContrast();
}
