// A server tree on disk: a folder laid out like the download server, so that
// "<tree>/downloads/orvanteer/windows/customersetting.xml" is what the
// assistant fetches from "/downloads/orvanteer/windows/customersetting.xml".
// Addresses named inside the documents (UrlDirectory, DownLoad) are mapped
// onto the tree by their path; whether a missing file is an error depends on
// whether the address is known to be served from this tree (--host).
#pragma once
#include <string>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
} // namespace tinyxml2

namespace qmxpublish {

class Report;

// The installer description's file name, appended to UrlDirectory as it stands.
extern const char kInstallerDescriptionName[];
// The assistant keeps at most this many bytes of a fetched document.
constexpr size_t kMaxDocumentBytes = 511999;
// Remotes report their customer number in one byte.
constexpr int kMaxCustomerNumber = 255;

std::string CustomersettingServerPath();
std::string CustomerServerPath(int customer);
// "<tree>" + server path, with the tree's own trailing separators dropped.
std::string TreeFile(const std::string& tree, const std::string& serverPath);

struct Url {
    std::string scheme; // lower case, without "://"
    std::string host;   // host[:port] as written
    std::string path;   // from the first "/" up to "?" or "#"; "/" when none
    bool hasQueryOrFragment = false;
};
// False when the text is not "<scheme>://<host>..." with a non-empty host.
bool SplitUrl(const std::string& text, Url& url);
bool IsHttpScheme(const Url& url);
bool IsAscii(const std::string& text);
bool HasOuterBlanks(const std::string& text);

enum class Placement {
    InTree,    // the path maps onto the tree (the file may still be missing)
    OtherHost, // --host was given and the address names another host
    Unmapped,  // not an http(s) address, or its path climbs out of the tree
};
struct TreeLocation {
    Placement placement = Placement::Unmapped;
    bool required = false; // served from this tree (host matched --host)
    std::string file;      // the mapped file when InTree
    std::string host;      // the address's host
};
// Maps an address onto the tree. With an empty treeHost every http(s)
// address is mapped but none is required to be present.
TreeLocation LocateInTree(const std::string& tree, const std::string& address,
                          const std::string& treeHost);

bool IsRegularFile(const std::string& path);
bool ReadFileBytes(const std::string& path, std::string& bytes);
// Byte offset of the first malformed UTF-8 sequence, or npos when valid.
size_t FindInvalidUtf8(const std::string& bytes);
// 32 hexadecimal digits, lower case, as the assistant computes them.
bool IsLowerHexDigest(const std::string& text);
bool IsHexDigestAnyCase(const std::string& text);
std::string ToLowerAscii(std::string text);

// The application's file name under its AppDirName folder.
extern const char kAppFileName[];
// Longest application path the assistant can test, in characters (MAX_PATH
// less its terminator).
constexpr size_t kMaxAppPath = 259;
// Whether "<usual Program Files (x86)>\<appDirName>\orvanteer.exe" fits; a
// longer path is never found installed, so the offer comes every time.
bool AppPathFits(const std::wstring& appDirName);

// Text of an element as the assistant takes it: its first child when that
// child is text; nullptr otherwise.
const char* ElementText(const tinyxml2::XMLElement* element);

// Reads a document from the tree the way a fetch would hand it to the
// assistant and reports what stops it from being read: missing file, size,
// NUL bytes, malformed UTF-8, XML syntax, a root other than expectedRoot.
// True when the document parsed with that root; `doc` then holds it.
bool LoadTreeDocument(Report& report, const std::string& file, const char* expectedRoot,
                      tinyxml2::XMLDocument& doc);

} // namespace qmxpublish
