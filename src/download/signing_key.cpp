// The product's compiled-in signing key (set with -DQMX_SIGNING_KEY=...): the
// maker's public key text as "qmxpublish keygen" prints it. Empty builds an
// exe that checks the MD5 only.
#include "download/signature.h"

#ifndef QMX_SIGNING_KEY
#define QMX_SIGNING_KEY ""
#endif

std::string SigningKeyText() {
    return QMX_SIGNING_KEY;
}
