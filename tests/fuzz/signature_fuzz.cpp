// libFuzzer entry for the key and signature texts: the input is read as both
// (it may come from the installer description or from the build). A text
// that parses is strict base64 of 64 bytes, so it is the one encoding of
// those bytes; blanks and line ends around it change nothing, any other
// character does. A broken promise aborts.
#include "download/signature.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool holds) {
    if (!holds)
        abort();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trimmed(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    SigningKey key{};
    InstallerSignature signature{};
    const bool isKey = ParseSigningKey(text, key);
    Require(ParseInstallerSignature(text, signature) == isKey);
    if (isKey) {
        Require(key == signature);
        Require(Base64Encode(key.data(), key.size()) == Trimmed(text));
        SigningKey again{};
        Require(ParseSigningKey(" \r\n\t" + text + "\r\n \t", again) && again == key);
        Require(!ParseSigningKey(text + "x", again) && !ParseSigningKey("=" + text, again));
    }

    // Any bytes: encoding and strict decoding give them back.
    std::vector<uint8_t> back;
    Require(Base64Decode(Base64Encode(data, size), back));
    Require(back == std::vector<uint8_t>(data, data + size));
    // A text that decodes is the encoding of what it decodes to.
    if (Base64Decode(text, back))
        Require(Base64Encode(back.data(), back.size()) == text);
    return 0;
}
