// The publisher's half of installer signatures: making the maker's key pair,
// signing an installer and checking a signature, in the text forms the
// assistant reads (download/signature.h): the public key as base64 of X || Y,
// a signature as base64 of r || s over the SHA-256 digest of the file.
#pragma once
#include <string>

namespace qmxpublish {

// Whether this build can make keys and sign (the Linux build, with OpenSSL).
bool CanSign();

// Writes a new P-256 private key as PEM to `pemPath` (readable by its owner
// only) and sets `publicText` to the public key text for the build option.
bool MakeSigningKey(const std::string& pemPath, std::string& publicText, std::string& problem);

// Signs the file with the PEM private key; `signatureText` is what the
// description's Signature element holds.
bool SignFile(const std::string& pemPath, const std::string& file, std::string& signatureText,
              std::string& problem);

enum class SignatureVerdict { Good, Bad, Unchecked };
// Checks `signatureText` over the file against `publicText`. Bad: the text is
// malformed or does not match; Unchecked (with `problem`): the key or the
// file could not be used, or this build cannot check.
SignatureVerdict CheckFileSignature(const std::string& publicText, const std::string& file,
                                    const std::string& signatureText, std::string& problem);
// Whether `publicText` is a usable public key text.
bool IsPublicKeyText(const std::string& publicText);

} // namespace qmxpublish
