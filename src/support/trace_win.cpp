// The support trace on Windows: OutputDebugStringW, which a debugger or
// DebugView picks up and which costs next to nothing when nobody listens.
#include "support/trace.h"

#include "support/text.h"

#include <windows.h>

void WriteTraceLine(const std::string& line) {
    OutputDebugStringW(Utf8ToWide(line + "\n").c_str());
}
