// The text forms of the maker's key and of installer signatures, free of
// Windows calls so that both builds can check them. Everything here reads
// text from the server or from the build, so nothing may be assumed about it.
#include "download/signature.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kPad = '=';
constexpr int kNotBase64 = -1;

int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return kNotBase64;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text without its leading and trailing blanks and line ends (a document
// may carry the value on a line of its own).
std::string Trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

template <size_t N> bool ParseFixed(const std::string& text, std::array<uint8_t, N>& out) {
    std::vector<uint8_t> bytes;
    if (!Base64Decode(Trimmed(text), bytes) || bytes.size() != N)
        return false;
    for (size_t i = 0; i < N; ++i)
        out[i] = bytes[i];
    return true;
}

} // namespace

bool Base64Decode(const std::string& text, std::vector<uint8_t>& out) {
    out.clear();
    if (text.size() % 4 != 0)
        return false;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int pads = 0;
        for (int j = 0; j < 4; ++j) {
            const char c = text[i + j];
            if (c == kPad && last && j >= 2) {
                v[j] = 0;
                ++pads;
                continue;
            }
            // A pad may only end the text, and no digit may follow one.
            if (pads > 0)
                return false;
            v[j] = SextetOf(c);
            if (v[j] == kNotBase64)
                return false;
        }
        const uint32_t group = (static_cast<uint32_t>(v[0]) << 18) |
                               (static_cast<uint32_t>(v[1]) << 12) |
                               (static_cast<uint32_t>(v[2]) << 6) | static_cast<uint32_t>(v[3]);
        out.push_back(static_cast<uint8_t>(group >> 16));
        if (pads < 2)
            out.push_back(static_cast<uint8_t>(group >> 8));
        if (pads < 1)
            out.push_back(static_cast<uint8_t>(group));
        // Bits below the last whole byte must be zero: one text, one value.
        if ((pads == 1 && (v[2] & 0x03) != 0) || (pads == 2 && (v[1] & 0x0f) != 0))
            return false;
    }
    return true;
}

std::string Base64Encode(const uint8_t* data, size_t length) {
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    for (size_t i = 0; i < length; i += 3) {
        const size_t n = length - i < 3 ? length - i : 3;
        uint32_t group = static_cast<uint32_t>(data[i]) << 16;
        if (n > 1)
            group |= static_cast<uint32_t>(data[i + 1]) << 8;
        if (n > 2)
            group |= data[i + 2];
        out += kAlphabet[(group >> 18) & 0x3f];
        out += kAlphabet[(group >> 12) & 0x3f];
        out += n > 1 ? kAlphabet[(group >> 6) & 0x3f] : kPad;
        out += n > 2 ? kAlphabet[group & 0x3f] : kPad;
    }
    return out;
}

bool ParseSigningKey(const std::string& text, SigningKey& key) {
    return ParseFixed(text, key);
}

bool ParseInstallerSignature(const std::string& text, InstallerSignature& signature) {
    return ParseFixed(text, signature);
}
