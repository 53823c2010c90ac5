// PLACEHOLDER until the popup lands (only ScaleFor is needed so far).
#include "ui/layout.h"
int ScaleFor(int screenExtent, int reference, int value) {
    return screenExtent <= reference ? value : screenExtent * value / reference;
}
