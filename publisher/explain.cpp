// The explanation: for every customer, UI language and model family, what
// the assistant does when such a remote is plugged in - the decision of the
// assistant's customer query, replayed on the documents of a tree. Whether
// the application is installed is a fact of the user's disk, so both
// branches are named.
#include "customer_table.h"
#include "publish.h"
#include "server_tree.h"

#include "config/xml_config.h"
#include "device/device.h"
#include "i18n/strings.h"
#include "support/file_ex.h"
#include "support/text.h"

#include <tinyxml2.h>

#include <cstring>

namespace qmxpublish {

namespace {

const char kItemsRoot[] = "Items";
const char kAppDirName[] = "AppDirName";
const char kEnglishTitle[] = "English1";
const char kCheckSwitch[] = "-qmx_check";

// The customer document as the assistant's first decision of a run sees it.
struct CustomerView {
    bool loaded = false;
    std::map<std::string, std::string> values;
};

CustomerView LoadCustomer(const std::string& tree, int customer) {
    CustomerView view;
    const std::string file = TreeFile(tree, CustomerServerPath(customer));
    if (!IsRegularFile(file))
        return view;
    CXmlCustomer document;
    view.loaded = document.LoadFromFile(file);
    view.values = document.values;
    return view;
}

std::string Value(const std::map<std::string, std::string>& values, const std::string& key) {
    const auto found = values.find(key);
    return found != values.end() ? found->second : std::string();
}

// The reason nothing happens, or empty when the customer document allows an offer.
std::string DocumentBlocks(const CustomerView& view) {
    if (!view.loaded)
        return "no customer document";
    if (view.values.empty())
        return "customer document is empty";
    const std::string appDirName = Value(view.values, kAppDirName);
    if (appDirName.empty())
        return "no AppDirName";
    if (!IsSafeAppDirName(Utf8ToWide(appDirName)))
        return "AppDirName " + Quoted(appDirName) + " refused";
    return std::string();
}

std::string Title(const CustomerView& view, const wchar_t* code) {
    std::string first, second;
    CustomerTextKeys(code, first, second);
    std::string title = Value(view.values, first);
    if (title.empty())
        title = Value(view.values, kEnglishTitle);
    return title;
}

} // namespace

bool ExplainTree(const std::string& tree, Report& report) {
    const std::string file = TreeFile(tree, CustomersettingServerPath());
    if (!IsRegularFile(file)) {
        report.Error(file, "missing: the assistant never offers anything");
        return false;
    }
    tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
    {
        CFileEx stream;
        if (!stream.Open(file, "rb") || doc.LoadFile(stream.Stream()) != tinyxml2::XML_SUCCESS) {
            report.Error(file, "cannot be read as XML: the assistant never offers anything");
            return false;
        }
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (root == nullptr || std::strcmp(root->Name(), kItemsRoot) != 0) {
        report.Error(file, std::string("root is not <") + kItemsRoot +
                               ">: the assistant never offers anything");
        return false;
    }
    const CustomerTable table = ReadCustomerTable(root);
    if (table.customers.empty())
        report.Line("no customers: the assistant never offers anything");
    for (int customer : table.customers) {
        const bool askable = customer >= 0 && customer <= kMaxCustomerNumber;
        const CustomerView view = askable ? LoadCustomer(tree, customer) : CustomerView();
        const std::string blocked = DocumentBlocks(view);
        const std::string appDirName = Value(view.values, kAppDirName);
        for (const UiLanguage& language : UiLanguages()) {
            for (Family family : {Family::Simple, Family::Spotlight}) {
                std::string line = "customer " + std::to_string(customer) + " " + language.name +
                                   " " + FamilyName(family) + ": ";
                if (!askable) {
                    line +=
                        "nothing (remotes report 0 to " + std::to_string(kMaxCustomerNumber) + ")";
                } else if (!OfferFlag(table, language.code, customer, family)) {
                    line += "nothing (" + DecidingFlag(language.code, family) + " is False)";
                } else if (!blocked.empty()) {
                    line += "nothing (" + blocked + ")";
                } else {
                    line += "offer " + Quoted(Title(view, language.code));
                    if (!AppPathFits(Utf8ToWide(appDirName))) {
                        line += " every time (the application path is too long to be found "
                                "installed)";
                    } else {
                        line += " if " + appDirName + "\\" + kAppFileName + " is not installed; ";
                        if (family == Family::Spotlight)
                            line += std::string("start it with ") + kCheckSwitch + " if installed";
                        else
                            line += "nothing if installed";
                    }
                }
                report.Line(line);
            }
        }
    }
    return true;
}

} // namespace qmxpublish
