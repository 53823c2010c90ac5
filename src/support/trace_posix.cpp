// The support trace on the host build: standard error, only when QMX_TRACE
// is set, so that the unit tests stay quiet.
#include "support/trace.h"

#include <cstdio>
#include <cstdlib>

void WriteTraceLine(const std::string& line) {
    if (std::getenv("QMX_TRACE"))
        std::fprintf(stderr, "%s\n", line.c_str());
}
