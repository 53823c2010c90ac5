// Paths of the server tree, address mapping and the shared document loader.
#include "server_tree.h"

#include "config/server.h"
#include "report.h"
#include "support/file_ex.h"
#include "support/text.h"

#include <tinyxml2.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <system_error>
#include <vector>

namespace qmxpublish {

const char kInstallerDescriptionName[] = "orvanteer.xml";
const char kAppFileName[] = "orvanteer.exe";

namespace {

const char kSchemeSeparator[] = "://";
const wchar_t kUsualProgramFiles[] = L"C:\\Program Files (x86)";
const size_t kReadChunk = 65536;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Undoes %XX escapes as the web server does before it looks for the file.
std::string PercentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// True when a path component would lead out of the tree.
bool ClimbsOut(const std::string& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = path.size();
        if (path.compare(start, end - start, "..") == 0)
            return true;
        start = end + 1;
    }
    return path.find('\0') != std::string::npos;
}

bool SameHost(const std::string& a, const std::string& b) {
    return ToLowerAscii(a) == ToLowerAscii(b);
}

} // namespace

std::string CustomersettingServerPath() {
    return WideToUtf8(QMX_CUSTOMERSETTING_PATH);
}

std::string CustomerServerPath(int customer) {
    return WideToUtf8(FormatWString(QMX_CUSTOMER_PATH_FORMAT, customer));
}

std::string TreeFile(const std::string& tree, const std::string& serverPath) {
    std::string root = tree;
    while (root.size() > 1 && (root.back() == '/' || root.back() == '\\'))
        root.pop_back();
    return root + serverPath;
}

bool SplitUrl(const std::string& text, Url& url) {
    url = Url();
    const size_t separator = text.find(kSchemeSeparator);
    if (separator == std::string::npos || separator == 0)
        return false;
    for (size_t i = 0; i < separator; ++i) {
        if (!std::isalpha(static_cast<unsigned char>(text[i])))
            return false;
    }
    url.scheme = ToLowerAscii(text.substr(0, separator));
    const size_t hostStart = separator + std::strlen(kSchemeSeparator);
    size_t hostEnd = text.find_first_of("/?#", hostStart);
    if (hostEnd == std::string::npos)
        hostEnd = text.size();
    url.host = text.substr(hostStart, hostEnd - hostStart);
    if (url.host.empty())
        return false;
    size_t pathEnd = text.find_first_of("?#", hostEnd);
    url.hasQueryOrFragment = pathEnd != std::string::npos;
    if (pathEnd == std::string::npos)
        pathEnd = text.size();
    url.path = text.substr(hostEnd, pathEnd - hostEnd);
    if (url.path.empty())
        url.path = "/";
    return true;
}

bool IsHttpScheme(const Url& url) {
    return url.scheme == "http" || url.scheme == "https";
}

bool IsAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

bool HasOuterBlanks(const std::string& text) {
    if (text.empty())
        return false;
    return std::isspace(static_cast<unsigned char>(text.front())) ||
           std::isspace(static_cast<unsigned char>(text.back()));
}

TreeLocation LocateInTree(const std::string& tree, const std::string& address,
                          const std::string& treeHost) {
    TreeLocation location;
    Url url;
    if (!SplitUrl(address, url) || !IsHttpScheme(url))
        return location;
    location.host = url.host;
    if (!treeHost.empty()) {
        if (!SameHost(url.host, treeHost)) {
            location.placement = Placement::OtherHost;
            return location;
        }
        location.required = true;
    }
    const std::string path = PercentDecode(url.path);
    if (ClimbsOut(path)) {
        location.required = false;
        return location;
    }
    location.placement = Placement::InTree;
    location.file = TreeFile(tree, path);
    return location;
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::u8path(path), error);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    CFileEx file;
    if (!file.Open(path, "rb"))
        return false;
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        const size_t got = std::fread(chunk.data(), 1, chunk.size(), file.Stream());
        if (got == 0)
            break;
        bytes.append(chunk.data(), got);
    }
    return std::ferror(file.Stream()) == 0;
}

size_t FindInvalidUtf8(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int trail = 0;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the first trail byte
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            if (lead == 0xE0)
                low = 0xA0; // no overlong forms
            if (lead == 0xED)
                high = 0x9F; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            return i;
        }
        if (i + trail >= bytes.size())
            return i;
        for (int k = 1; k <= trail; ++k) {
            const unsigned char c = static_cast<unsigned char>(bytes[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (c < min || c > max)
                return i;
        }
        i += trail + 1;
    }
    return std::string::npos;
}

bool IsHexDigestAnyCase(const std::string& text) {
    const size_t kDigestDigits = 32;
    if (text.size() != kDigestDigits)
        return false;
    for (char c : text) {
        if (HexValue(c) < 0)
            return false;
    }
    return true;
}

bool IsLowerHexDigest(const std::string& text) {
    return IsHexDigestAnyCase(text) && ToLowerAscii(text) == text;
}

std::string ToLowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool AppPathFits(const std::wstring& appDirName) {
    const size_t separators = 2;
    const size_t length = std::wcslen(kUsualProgramFiles) + separators + appDirName.size() +
                          std::strlen(kAppFileName);
    return length <= kMaxAppPath;
}

const char* ElementText(const tinyxml2::XMLElement* element) {
    const tinyxml2::XMLNode* first = element->FirstChild();
    if (first != nullptr && first->ToText() != nullptr)
        return first->Value();
    return nullptr;
}

bool LoadTreeDocument(Report& report, const std::string& file, const char* expectedRoot,
                      tinyxml2::XMLDocument& doc) {
    std::string bytes;
    if (!ReadFileBytes(file, bytes)) {
        report.Error(file, "cannot be read");
        return false;
    }
    if (bytes.size() > kMaxDocumentBytes) {
        report.Error(file, std::to_string(bytes.size()) +
                               " bytes; the assistant keeps only the first " +
                               std::to_string(kMaxDocumentBytes) + " bytes of a document");
        return false;
    }
    const size_t nul = bytes.find('\0');
    if (nul != std::string::npos) {
        report.Error(file, "NUL byte at offset " + std::to_string(nul) +
                               "; the assistant's fetch cuts the document there");
        return false;
    }
    const size_t bad = FindInvalidUtf8(bytes);
    if (bad != std::string::npos) {
        report.Error(file, "not UTF-8 (malformed byte at offset " + std::to_string(bad) +
                               "); the assistant reads every document as UTF-8 and its texts "
                               "would be garbled");
    }
    if (doc.Parse(bytes.data(), bytes.size()) != tinyxml2::XML_SUCCESS) {
        report.Error(file, std::string("not well-formed XML (") + doc.ErrorStr() +
                               "); the assistant ignores it");
        return false;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (root == nullptr) {
        report.Error(file,
                     std::string("no root element; the assistant expects <") + expectedRoot + ">");
        return false;
    }
    if (std::strcmp(root->Name(), expectedRoot) != 0) {
        report.Error(file, std::string("root element is <") + root->Name() +
                               ">; the assistant reads only a root <" + expectedRoot +
                               "> and ignores this document");
        return false;
    }
    return true;
}

} // namespace qmxpublish
