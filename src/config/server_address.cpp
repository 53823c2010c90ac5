// The product's compiled-in download server (set with -DQMX_SERVER_BASE=...).
#include "config/server.h"

#ifndef QMX_SERVER_BASE
#define QMX_SERVER_BASE L"https://download.valdry.com"
#endif

std::wstring BuiltInServerBaseUrl() {
    return QMX_SERVER_BASE;
}
