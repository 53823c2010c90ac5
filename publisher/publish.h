// qmxpublish: the publisher's side of the assistant's server documents.
// The documents fail silently on every user's desk when a detail is wrong
// (a flag written "false" stays on, an upper-case MD5 fails every download,
// a UrlDirectory without its final "/" names a wrong address, a missing
// AppDirName means no offer is ever made), so the tool reads them with the
// assistant's own document classes and says in plain lines what it finds.
#pragma once
#include "report.h"

#include <ostream>
#include <string>
#include <vector>

namespace qmxpublish {

struct CheckOptions {
    // host[:port] the tree is served at; addresses on it must lie in the tree.
    std::string treeHost;
    // The maker's public key text: every installer description found must
    // carry a Signature that matches its installer in the tree. Empty: only
    // warnings about missing or unchecked signatures.
    std::string publicKey;
    // The tree serves an assistant built with QMX_TLS, which fetches no
    // "http:" address a document names: each one is warned about.
    bool tls = false;
};
// Checks every document of a server tree; errors and warnings go to `report`.
void CheckTree(const std::string& tree, const CheckOptions& options, Report& report);

// Says, per customer, UI language and model family, what the assistant does.
// False when the customer settings cannot be read at all.
bool ExplainTree(const std::string& tree, Report& report);

struct DescribeRequest {
    std::string version;
    std::string url;
    std::string installer;
    std::string out = "orvanteer.xml";
    std::string signingKey; // PEM private key; empty: no Signature written
};
// Makes the maker's key pair: the private key as PEM at `out`, the public key
// text printed for the build option. False (with an error) on failure.
bool MakeKeyPair(const std::string& out, std::string& publicText, Report& report);

// Writes an installer description for a built installer and reads it back
// with the assistant's reader to prove it. False (with an error) on failure.
bool DescribeInstaller(const DescribeRequest& request, Report& report);

// The command line: returns the process exit code.
enum ExitCode { kExitClean = 0, kExitErrors = 1, kExitUsage = 2 };
int RunQmxPublish(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace qmxpublish
