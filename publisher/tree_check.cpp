// The checker: walks a server tree the way the assistant walks the server -
// customer settings, then each listed customer's document, then the
// installer description its UrlDirectory names and the installer that one
// names - and reports what would go wrong on a user's desk. Values are taken
// from the assistant's own document classes; the raw XML is looked at only for
// what those classes silently drop (duplicates, unknown or misspelt elements,
// flags that are neither "True" nor "False").
#include "customer_table.h"
#include "publish.h"
#include "server_tree.h"
#include "signing.h"

#include "config/xml_config.h"
#include "device/device.h"
#include "download/md5.h"
#include "download/signature.h"
#include "i18n/strings.h"
#include "support/text.h"

#include <tinyxml2.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <map>
#include <set>

namespace qmxpublish {

namespace {

const char kItemsRoot[] = "Items";
const char kOptionRoot[] = "Option";
const char kItem[] = "Item";
const char kCustomerId[] = "CustomerID";
const char kFlagOn[] = "True";
const char kFlagOff[] = "False";
const char kUrlDirectory[] = "UrlDirectory";
const char kAppDirName[] = "AppDirName";
const char kEnglishTitle[] = "English1";
const char kEnglishText[] = "English2";
const char kVerson[] = "Verson";
const char kDownLoad[] = "DownLoad";
const char kMd5[] = "MD5";
const char kSignature[] = "Signature";
const char kFlagPrefixes[][16] = {"SimplePopup_", "SpotlightPopup_"};

std::string At(const tinyxml2::XMLElement* element) {
    return "line " + std::to_string(element->GetLineNum()) + ": ";
}

std::string Tag(const std::string& name) {
    return "<" + name + ">";
}

std::string TextOf(const tinyxml2::XMLElement* element) {
    const char* text = ElementText(element);
    return text != nullptr ? text : "";
}

bool IsPlainNumber(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// "; did you mean <X>?" when `name` differs from a known name only in case.
std::string CaseHint(const std::string& name, const std::vector<std::string>& known) {
    for (const std::string& candidate : known) {
        if (candidate != name && ToLowerAscii(candidate) == ToLowerAscii(name))
            return "; did you mean " + Tag(candidate) + "?";
    }
    return std::string();
}

// Hint for a missing installer key whose element is there under another spelling.
std::string SpellingHint(const tinyxml2::XMLElement* root, const std::string& expected) {
    for (const tinyxml2::XMLElement* child = root->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const std::string name = child->Name();
        const bool versionForVerson = expected == kVerson && ToLowerAscii(name) == "version";
        if (name != expected && (ToLowerAscii(name) == ToLowerAscii(expected) || versionForVerson))
            return " (found " + Tag(name) + "; the assistant reads only " + Tag(expected) + ")";
    }
    return std::string();
}

const std::string* Find(const std::map<std::string, std::string>& values, const std::string& key) {
    const auto found = values.find(key);
    return found != values.end() ? &found->second : nullptr;
}

class TreeChecker {
  public:
    TreeChecker(const std::string& tree, const CheckOptions& options, Report& report)
        : m_tree(tree), m_options(options), m_report(report) {}

    void Run();

  private:
    void CheckItems(const std::string& file, const tinyxml2::XMLElement* root);
    void CheckItemChild(const std::string& file, const tinyxml2::XMLElement* child);
    void CheckCustomer(const CustomerTable& table, int customer);
    void CheckCustomerRaw(const std::string& file, const tinyxml2::XMLElement* root);
    // The installer description's address, or empty when UrlDirectory is unusable.
    std::string CheckUrlDirectory(const std::string& file,
                                  const std::map<std::string, std::string>& values);
    void CheckAppDirName(const std::string& file, int customer,
                         const std::map<std::string, std::string>& values);
    void CheckTexts(const std::string& file, const CustomerTable& table, int customer,
                    const std::map<std::string, std::string>& values);
    void CheckText(const std::string& file, const std::map<std::string, std::string>& values,
                   const std::string& key, const std::string& english, const char* what,
                   const char* language);
    void CheckInstallerDescription(const std::string& customerFile, const std::string& address);
    bool CheckAddress(const std::string& file, const char* what, const std::string& address);
    void CheckInstaller(const std::string& file, const std::string& address, const std::string* md5,
                        const std::string* signature);
    void CheckSignature(const std::string& file, const std::string& installer,
                        const std::string& signature);
    // Signatures found missing while no --key was given: warned about only
    // when another description of the tree is signed (the maker signs).
    void ReportUnsigned();

    const std::string m_tree;
    const CheckOptions m_options;
    Report& m_report;
    std::set<std::string> m_checkedDescriptions;
    std::vector<std::string> m_unsigned;
    int m_signed = 0;
};

void TreeChecker::Run() {
    if (!std::filesystem::is_directory(std::filesystem::u8path(m_tree))) {
        m_report.Error(m_tree, "no such folder");
        return;
    }
    const std::string file = TreeFile(m_tree, CustomersettingServerPath());
    if (!IsRegularFile(file)) {
        m_report.Error(file, "missing: the assistant finds no customer settings and never "
                             "offers anything");
        return;
    }
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadTreeDocument(m_report, file, kItemsRoot, doc))
        return;
    CXmlCustomersetting settings;
    if (!settings.LoadFromFile(file)) {
        m_report.Error(file, "the assistant cannot load it");
        return;
    }
    CheckItems(file, doc.RootElement());
    const CustomerTable table = ReadCustomerTable(doc.RootElement());
    for (int customer : table.customers) {
        if (customer >= 0 && customer <= kMaxCustomerNumber)
            CheckCustomer(table, customer);
    }
    ReportUnsigned();
}

void TreeChecker::ReportUnsigned() {
    if (m_unsigned.empty())
        return;
    for (const std::string& file : m_unsigned) {
        if (m_signed > 0) {
            m_report.Warning(file, "no " + Tag(kSignature) + " while other installers are " +
                                       "signed; an assistant built with the signing key " +
                                       "refuses this one");
        } else {
            m_report.Ok(file, "not signed (an assistant built with a signing key refuses it)");
        }
    }
}

void TreeChecker::CheckItems(const std::string& file, const tinyxml2::XMLElement* root) {
    const tinyxml2::XMLElement* first = root->FirstChildElement(kItem);
    for (const tinyxml2::XMLElement* element = root->FirstChildElement();
         element != nullptr && element != first; element = element->NextSiblingElement()) {
        m_report.Warning(file, At(element) + Tag(element->Name()) + " before the first " +
                                   Tag(kItem) + " is not read by the assistant");
    }
    if (first == nullptr) {
        m_report.Warning(file, "no " + Tag(kItem) + ": no customer is offered the download");
        return;
    }
    const int errorsBefore = m_report.Errors();
    std::map<int, int> firstLine; // customer number -> line of its first item
    for (const tinyxml2::XMLElement* item = first; item != nullptr;
         item = item->NextSiblingElement()) {
        if (std::strcmp(item->Name(), kItem) != 0) {
            m_report.Warning(file, At(item) + Tag(item->Name()) + " after the first " + Tag(kItem) +
                                       " is read as a customer entry too");
        }
        std::map<std::string, int> seen;
        const tinyxml2::XMLElement* customerId = nullptr; // the last one counts
        for (const tinyxml2::XMLElement* child = item->FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            const std::string name = child->Name();
            if (++seen[name] == 2) {
                m_report.Warning(file, At(child) + Tag(name) +
                                           " appears twice in one item; the assistant takes "
                                           "the last one");
            }
            if (name == kCustomerId)
                customerId = child;
            else
                CheckItemChild(file, child);
        }
        int customer = 0;
        if (customerId == nullptr) {
            m_report.Error(file, At(item) + "item without " + Tag(kCustomerId) +
                                     "; the assistant files it under customer 0");
        } else {
            customer = TreatedCustomerId(customerId);
            const std::string text = TextOf(customerId);
            if (!IsPlainNumber(text)) {
                m_report.Error(file, At(customerId) + kCustomerId + " " + Quoted(text) +
                                         " is not a number; the assistant reads it as " +
                                         std::to_string(customer));
            }
        }
        if (customer < 0 || customer > kMaxCustomerNumber) {
            m_report.Warning(file, At(item) + "customer " + std::to_string(customer) +
                                       " is never asked for: remotes report 0 to " +
                                       std::to_string(kMaxCustomerNumber));
        }
        const auto placed = firstLine.emplace(customer, item->GetLineNum());
        if (!placed.second) {
            m_report.Error(file, At(item) + "customer " + std::to_string(customer) +
                                     " is listed again (first at line " +
                                     std::to_string(placed.first->second) +
                                     "); the assistant keeps only the later item");
        }
    }
    if (m_report.Errors() == errorsBefore) {
        std::string list;
        for (const auto& entry : firstLine)
            list += (list.empty() ? "" : ", ") + std::to_string(entry.first);
        m_report.Ok(file, std::to_string(firstLine.size()) + " customer(s): " + list);
    }
}

void TreeChecker::CheckItemChild(const std::string& file, const tinyxml2::XMLElement* child) {
    const std::string name = child->Name();
    if (IsFlagElement(name)) {
        const std::string text = TextOf(child);
        if (text != kFlagOn && text != kFlagOff) {
            bool treated = true;
            for (const FlagElement& flag : FlagElements()) {
                if (name == flag.name)
                    treated = TreatedFlag(child, flag.family);
            }
            m_report.Warning(file, At(child) + name + " is " + Quoted(text) +
                                       ", neither \"True\" nor \"False\"; the assistant treats "
                                       "it as " +
                                       (treated ? kFlagOn : kFlagOff));
        }
        return;
    }
    std::vector<std::string> known = {kCustomerId};
    for (const FlagElement& flag : FlagElements())
        known.push_back(flag.name);
    std::string hint = CaseHint(name, known);
    if (hint.empty()) {
        for (const char* prefix : kFlagPrefixes) {
            if (name.compare(0, std::strlen(prefix), prefix) == 0)
                hint = "; the flags come in _Cn, _En and _Kr pairs only (Japanese users "
                       "follow the _Cn pair)";
        }
    }
    m_report.Warning(file, At(child) + Tag(name) + " is not read by the assistant" + hint);
}

void TreeChecker::CheckCustomer(const CustomerTable& table, int customer) {
    const bool offered = OfferedAnywhere(table, customer);
    const std::string number = std::to_string(customer);
    const std::string file = TreeFile(m_tree, CustomerServerPath(customer));
    if (!IsRegularFile(file)) {
        if (offered)
            m_report.Error(file, "missing: customer " + number + " is never offered the download");
        else
            m_report.Ok(file, "absent; customer " + number + " is switched off everywhere");
        return;
    }
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadTreeDocument(m_report, file, kOptionRoot, doc))
        return;
    // A fresh object, as on the assistant's first decision of a run.
    CXmlCustomer document;
    if (!document.LoadFromFile(file)) {
        m_report.Error(file, "the assistant cannot load it");
        return;
    }
    if (document.values.empty()) {
        m_report.Error(file, "no elements below " + Tag(kOptionRoot) +
                                 "; the assistant makes no offer for customer " + number);
        return;
    }
    const int errorsBefore = m_report.Errors();
    CheckCustomerRaw(file, doc.RootElement());
    CheckAppDirName(file, customer, document.values);
    CheckTexts(file, table, customer, document.values);
    const std::string description = CheckUrlDirectory(file, document.values);
    if (m_report.Errors() == errorsBefore) {
        m_report.Ok(file, "customer " + number + ": AppDirName " +
                              Quoted(document.values[kAppDirName]) + ", UrlDirectory " +
                              Quoted(document.values[kUrlDirectory]));
    }
    if (!description.empty())
        CheckInstallerDescription(file, description);
}

void TreeChecker::CheckCustomerRaw(const std::string& file, const tinyxml2::XMLElement* root) {
    std::vector<std::string> known = {kUrlDirectory, kAppDirName};
    for (const UiLanguage& language : UiLanguages()) {
        std::string first, second;
        CustomerTextKeys(language.code, first, second);
        known.push_back(first);
        known.push_back(second);
    }
    std::set<std::string> seen;
    for (const tinyxml2::XMLElement* element = root->FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        const std::string name = element->Name();
        if (!seen.insert(name).second) {
            m_report.Warning(file, At(element) + Tag(name) +
                                       " appears again; the assistant takes the last one");
        }
        bool isKnown = false;
        for (const std::string& key : known)
            isKnown = isKnown || key == name;
        if (!isKnown) {
            m_report.Warning(file, At(element) + Tag(name) + " is not used by the assistant" +
                                       CaseHint(name, known));
        }
        if (element->FirstChildElement() != nullptr) {
            m_report.Warning(file, At(element) + Tag(name) +
                                       " holds markup; the assistant takes only the text "
                                       "before the first inner element (escape < as &lt;)");
        }
    }
}

std::string TreeChecker::CheckUrlDirectory(const std::string& file,
                                           const std::map<std::string, std::string>& values) {
    const std::string* directory = Find(values, kUrlDirectory);
    if (directory == nullptr || directory->empty()) {
        m_report.Error(file, "no " + Tag(kUrlDirectory) + " (or empty): the download cannot find " +
                                 kInstallerDescriptionName);
        return std::string();
    }
    bool usable = CheckAddress(file, kUrlDirectory, *directory);
    if (directory->back() != '/') {
        m_report.Error(file, std::string(kUrlDirectory) + " " + Quoted(*directory) +
                                 " does not end with \"/\": the assistant would fetch " +
                                 Quoted(*directory + kInstallerDescriptionName));
        usable = false;
    }
    return usable ? *directory + kInstallerDescriptionName : std::string();
}

// Errors for an address the assistant could not use; false then.
bool TreeChecker::CheckAddress(const std::string& file, const char* what,
                               const std::string& address) {
    if (HasOuterBlanks(address)) {
        m_report.Error(file, std::string(what) + " " + Quoted(address) +
                                 " has blanks or line breaks around it; they become part of "
                                 "the address");
        return false;
    }
    Url url;
    if (!SplitUrl(address, url) || !IsHttpScheme(url)) {
        m_report.Error(file, std::string(what) + " " + Quoted(address) +
                                 " is not an http:// or https:// address");
        return false;
    }
    if (url.hasQueryOrFragment) {
        m_report.Error(file, std::string(what) + " " + Quoted(address) +
                                 " holds \"?\" or \"#\"; the server would not see the file "
                                 "path the assistant means");
        return false;
    }
    if (m_options.tls && url.scheme == "http") {
        m_report.Warning(file, std::string(what) + " " + Quoted(address) +
                                   " is an http: address; an assistant built for HTTPS "
                                   "refuses it and never falls back to plain HTTP, so use "
                                   "https://");
    }
    if (!IsAscii(address)) {
        m_report.Warning(file, std::string(what) + " " + Quoted(address) +
                                   " holds non-ASCII characters; the assistant passes "
                                   "addresses through the ANSI code page, so percent-encode "
                                   "them");
    }
    return true;
}

void TreeChecker::CheckAppDirName(const std::string& file, int customer,
                                  const std::map<std::string, std::string>& values) {
    const std::string* name = Find(values, kAppDirName);
    if (name == nullptr || name->empty()) {
        m_report.Error(file, "no " + Tag(kAppDirName) +
                                 " (or empty): the assistant never "
                                 "makes an offer for customer " +
                                 std::to_string(customer));
        return;
    }
    const std::wstring wide = Utf8ToWide(*name);
    if (!IsSafeAppDirName(wide)) {
        m_report.Error(file, std::string(kAppDirName) + " " + Quoted(*name) +
                                 " is not a folder name inside Program Files (absolute, drive "
                                 "or \"..\"); the assistant refuses it and never makes an "
                                 "offer");
        return;
    }
    if (!AppPathFits(wide)) {
        m_report.Error(file, std::string(kAppDirName) + " " + Quoted(*name) +
                                 " makes the application path longer than " +
                                 std::to_string(kMaxAppPath) +
                                 " characters; the assistant can never see the application "
                                 "installed and offers it every time");
        return;
    }
    if (HasOuterBlanks(*name)) {
        m_report.Warning(file, std::string(kAppDirName) + " " + Quoted(*name) +
                                   " has blanks or line breaks around it; they become part of "
                                   "the folder name");
    }
}

// Texts matter only in the UI languages in which the customer is offered the download.
void TreeChecker::CheckTexts(const std::string& file, const CustomerTable& table, int customer,
                             const std::map<std::string, std::string>& values) {
    for (const UiLanguage& language : UiLanguages()) {
        if (!OfferFlag(table, language.code, customer, Family::Simple) &&
            !OfferFlag(table, language.code, customer, Family::Spotlight))
            continue;
        std::string first, second;
        CustomerTextKeys(language.code, first, second);
        CheckText(file, values, first, kEnglishTitle, "title", language.description);
        CheckText(file, values, second, kEnglishText, "offer text", language.description);
    }
}

void TreeChecker::CheckText(const std::string& file,
                            const std::map<std::string, std::string>& values,
                            const std::string& key, const std::string& english, const char* what,
                            const char* language) {
    const std::string* own = Find(values, key);
    if (own != nullptr && !own->empty())
        return;
    const std::string* fallback = Find(values, english);
    const std::string users = std::string(language) + " users";
    if (key == english) {
        m_report.Error(file, "no " + Tag(key) + " (or empty): " + users +
                                 ", and every language without its own text, see an empty " + what);
    } else if (fallback == nullptr || fallback->empty()) {
        m_report.Error(file, "neither " + Tag(key) + " nor " + Tag(english) + ": " + users +
                                 " see an empty " + what);
    } else {
        m_report.Warning(file, "no " + Tag(key) + " (or empty): " + users + " see the English " +
                                   what + " " + Quoted(*fallback));
    }
}

void TreeChecker::CheckInstallerDescription(const std::string& customerFile,
                                            const std::string& address) {
    if (!m_checkedDescriptions.insert(address).second)
        return;
    const TreeLocation location = LocateInTree(m_tree, address, m_options.treeHost);
    if (location.placement == Placement::OtherHost) {
        m_report.Warning(customerFile, "installer description " + address + " is on host " +
                                           location.host + ", not " + m_options.treeHost +
                                           "; not checked");
        return;
    }
    if (location.placement == Placement::Unmapped) {
        m_report.Warning(customerFile, "installer description " + address +
                                           " does not map onto the tree; not checked");
        return;
    }
    const std::string& file = location.file;
    if (!IsRegularFile(file)) {
        if (location.required) {
            m_report.Error(customerFile, "installer description " + address +
                                             " is missing from the tree (expected " + file +
                                             "); every download fails");
        } else {
            m_report.Warning(customerFile, "installer description " + address +
                                               " is not in the tree (looked for " + file +
                                               "); not checked (give --host to require it)");
        }
        return;
    }
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    if (!LoadTreeDocument(m_report, file, kOptionRoot, doc))
        return;
    CXmlConfig description;
    if (!description.LoadFromFile(file)) {
        m_report.Error(file, "the assistant cannot load it");
        return;
    }
    const int errorsBefore = m_report.Errors();
    const tinyxml2::XMLElement* root = doc.RootElement();
    for (const char* key : {kVerson, kDownLoad, kMd5, kSignature}) {
        const tinyxml2::XMLElement* firstElement = root->FirstChildElement(key);
        if (firstElement != nullptr && firstElement->NextSiblingElement(key) != nullptr) {
            m_report.Warning(file, At(firstElement->NextSiblingElement(key)) + Tag(key) +
                                       " appears again; only the first one counts");
        }
        // Signature is optional; its absence is judged below.
        if (std::strcmp(key, kSignature) != 0 && Find(description.values, key) == nullptr) {
            m_report.Error(file,
                           "no " + Tag(key) + SpellingHint(root, key) + "; every download fails");
        }
    }
    const tinyxml2::XMLElement* versonElement = root->FirstChildElement(kVerson);
    if (versonElement != nullptr && ElementText(versonElement) == nullptr) {
        m_report.Warning(file, Tag(kVerson) + " is empty; the assistant reads it as " +
                                   Quoted(description.values[kVerson]));
    }
    const std::string* downLoad = Find(description.values, kDownLoad);
    bool installerUsable = false;
    if (downLoad != nullptr) {
        if (downLoad->empty()) {
            m_report.Error(file, Tag(kDownLoad) + " is empty; every download fails");
        } else {
            installerUsable = CheckAddress(file, kDownLoad, *downLoad);
            if (downLoad->back() == '/') {
                m_report.Warning(file, std::string(kDownLoad) + " " + Quoted(*downLoad) +
                                           " ends with \"/\"; it should name the installer file");
            }
        }
    }
    const std::string* md5 = Find(description.values, kMd5);
    if (md5 != nullptr) {
        if (md5->empty()) {
            m_report.Error(file, Tag(kMd5) + " is empty; every download fails");
        } else if (IsHexDigestAnyCase(*md5) && !IsLowerHexDigest(*md5)) {
            m_report.Error(file, "MD5 " + Quoted(*md5) +
                                     " is upper case; the assistant compares with its "
                                     "lower-case digest exactly, so every download fails; "
                                     "write " +
                                     Quoted(ToLowerAscii(*md5)));
        } else if (!IsLowerHexDigest(*md5)) {
            m_report.Error(file, "MD5 " + Quoted(*md5) +
                                     " is not 32 lower-case hexadecimal digits; every "
                                     "download fails");
        }
    }
    const std::string* signature = Find(description.values, kSignature);
    if (signature == nullptr || signature->empty()) {
        if (!m_options.publicKey.empty()) {
            m_report.Error(file, (signature == nullptr ? "no " : "empty ") + Tag(kSignature) +
                                     "; an assistant built with the signing key refuses every "
                                     "download");
        } else {
            m_unsigned.push_back(file);
        }
        signature = nullptr;
    } else {
        ++m_signed;
        InstallerSignature raw;
        if (!ParseInstallerSignature(*signature, raw)) {
            m_report.Error(file, Tag(kSignature) + " " + Quoted(*signature) +
                                     " is not base64 of a 64-byte signature; an assistant "
                                     "built with the signing key refuses every download");
            signature = nullptr;
        } else if (!installerUsable) {
            m_report.Warning(file, Tag(kSignature) + " not checked: no usable installer address");
        }
    }
    if (installerUsable)
        CheckInstaller(file, *downLoad, md5, signature);
    if (m_report.Errors() == errorsBefore) {
        m_report.Ok(file, "Verson " + Quoted(description.values[kVerson]) + ", installer " +
                              description.values[kDownLoad]);
    }
}

void TreeChecker::CheckInstaller(const std::string& file, const std::string& address,
                                 const std::string* md5, const std::string* signature) {
    const TreeLocation location = LocateInTree(m_tree, address, m_options.treeHost);
    const char* unverified =
        signature != nullptr ? "its MD5 and signature are not verified" : "its MD5 is not verified";
    if (location.placement == Placement::OtherHost) {
        m_report.Warning(file, "installer " + address + " is on host " + location.host + ", not " +
                                   m_options.treeHost + "; " + unverified);
        return;
    }
    if (location.placement == Placement::Unmapped) {
        m_report.Warning(file,
                         "installer " + address + " does not map onto the tree; " + unverified);
        return;
    }
    if (!IsRegularFile(location.file)) {
        if (location.required) {
            m_report.Error(file, "installer " + address + " is missing from the tree (expected " +
                                     location.file + "); every download fails");
        } else {
            m_report.Warning(file, "installer " + address + " is not in the tree (looked for " +
                                       location.file + "); " + unverified +
                                       " (give --host to require it)");
        }
        return;
    }
    const std::string actual = GetFileMD5(location.file);
    if (actual.empty()) {
        m_report.Error(file, "installer " + location.file + " cannot be read");
        return;
    }
    if (signature != nullptr)
        CheckSignature(file, location.file, *signature);
    if (md5 == nullptr || md5->empty())
        return;
    if (*md5 == actual) {
        m_report.Ok(file, "MD5 matches installer " + location.file);
    } else if (ToLowerAscii(*md5) != actual) {
        m_report.Error(file, "MD5 " + Quoted(*md5) + " does not match installer " + location.file +
                                 " (its MD5 is " + actual + "); every download fails");
    }
}

void TreeChecker::CheckSignature(const std::string& file, const std::string& installer,
                                 const std::string& signature) {
    if (m_options.publicKey.empty()) {
        m_report.Warning(file, Tag(kSignature) + " not checked (give --key with the public key " +
                                   "text to check it)");
        return;
    }
    std::string problem;
    switch (CheckFileSignature(m_options.publicKey, installer, signature, problem)) {
    case SignatureVerdict::Good:
        m_report.Ok(file, "signature matches installer " + installer);
        break;
    case SignatureVerdict::Bad:
        m_report.Error(file, "signature does not match installer " + installer +
                                 " under this key; every download fails");
        break;
    case SignatureVerdict::Unchecked:
        m_report.Error(file,
                       "signature of installer " + installer + " cannot be checked: " + problem);
        break;
    }
}

} // namespace

void CheckTree(const std::string& tree, const CheckOptions& options, Report& report) {
    TreeChecker(tree, options, report).Run();
}

} // namespace qmxpublish
