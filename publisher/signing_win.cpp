// Installer signatures for the Windows build of qmxpublish: it checks with
// the assistant's own CNG verifier, but makes no keys and signs nothing -
// signing belongs on the maker's build machine, with the Linux build.
#include "signing.h"

#include "download/signature.h"
#include "support/text.h"

namespace qmxpublish {

namespace {
const char kLinuxOnly[] = "keys are made and installers signed with the Linux build of qmxpublish";
} // namespace

bool CanSign() {
    return false;
}

bool IsPublicKeyText(const std::string& publicText) {
    SigningKey key;
    return ParseSigningKey(publicText, key);
}

bool MakeSigningKey(const std::string&, std::string&, std::string& problem) {
    problem = kLinuxOnly;
    return false;
}

bool SignFile(const std::string&, const std::string&, std::string&, std::string& problem) {
    problem = kLinuxOnly;
    return false;
}

SignatureVerdict CheckFileSignature(const std::string& publicText, const std::string& file,
                                    const std::string& signatureText, std::string& problem) {
    if (!IsPublicKeyText(publicText)) {
        problem = "the public key text is not base64 of a 64-byte point";
        return SignatureVerdict::Unchecked;
    }
    InstallerSignature raw;
    if (!ParseInstallerSignature(signatureText, raw))
        return SignatureVerdict::Bad;
    CLockedFile locked;
    if (!locked.Open(Utf8ToWide(file))) {
        problem = "cannot read " + file;
        return SignatureVerdict::Unchecked;
    }
    return VerifyInstallerSignature(locked.Handle(), publicText, signatureText)
               ? SignatureVerdict::Good
               : SignatureVerdict::Bad;
}

} // namespace qmxpublish
