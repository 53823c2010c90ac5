// Command line of qmxpublish. Findings go to standard output as plain lines;
// usage problems go to standard error. Exit codes: 0 clean or warnings only,
// 1 errors found, 2 the command line itself is wrong.
#include "publish.h"
#include "signing.h"

#include "qmx_version.h"

#include <map>

namespace qmxpublish {

namespace {

const char kUsage[] =
    "usage:\n"
    "  qmxpublish --version\n"
    "      print the version of this tool and of the assistant it belongs to\n"
    "  qmxpublish keygen --out KEY.pem\n"
    "      make the maker's signing key: the private key goes to KEY.pem (keep it\n"
    "      off the server), the public key text for QMX_SIGNING_KEY is printed\n"
    "  qmxpublish describe --version V --url URL --installer FILE [--out orvanteer.xml]\n"
    "                      [--sign KEY.pem]\n"
    "      write the installer description for FILE (MD5 computed here; with\n"
    "      --sign, also its Signature)\n"
    "  qmxpublish check [--host HOST[:PORT]] [--key PUBLIC] [--tls] TREE\n"
    "      check a server tree (TREE/downloads/orvanteer/...); addresses on HOST\n"
    "      must lie in the tree, other addresses are checked when they do; with\n"
    "      --key, every installer must carry a signature that matches it; with\n"
    "      --tls (the tree serves an HTTPS build), every http: address is warned\n"
    "  qmxpublish explain TREE\n"
    "      say per customer, UI language and model family what the assistant does\n";

// Splits "--name value" options and value-less "--flag"s (kept with an empty
// value) from positional arguments. False (with a message in `problem`) for
// an unknown option or one without its value.
bool ParseOptions(const std::vector<std::string>& args, size_t first,
                  const std::vector<std::string>& known,
                  std::map<std::string, std::string>& options, std::vector<std::string>& positional,
                  std::string& problem, const std::vector<std::string>& flags = {}) {
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            bool isKnown = false, isFlag = false;
            for (const std::string& name : known)
                isKnown = isKnown || name == arg;
            for (const std::string& name : flags)
                isFlag = isFlag || name == arg;
            if (isFlag) {
                if (options.count(arg) != 0) {
                    problem = arg + " given twice";
                    return false;
                }
                options[arg] = std::string();
                continue;
            }
            if (!isKnown) {
                problem = "unknown option " + arg;
                return false;
            }
            if (i + 1 >= args.size()) {
                problem = arg + " needs a value";
                return false;
            }
            if (options.count(arg) != 0) {
                problem = arg + " given twice";
                return false;
            }
            options[arg] = args[++i];
        } else {
            positional.push_back(arg);
        }
    }
    return true;
}

int Finish(const Report& report, std::ostream& out) {
    report.Print(out);
    return report.Errors() > 0 ? kExitErrors : kExitClean;
}

int UsageError(const std::string& problem, std::ostream& err) {
    err << "qmxpublish: " << problem << "\n" << kUsage;
    return kExitUsage;
}

} // namespace

int RunQmxPublish(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return UsageError("no command", err);
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return kExitClean;
    }
    if (command == "--version") {
        out << "qmxpublish " QMX_VERSION_STRING "\n";
        return kExitClean;
    }
    std::map<std::string, std::string> options;
    std::vector<std::string> positional;
    std::string problem;
    Report report;
    if (command == "keygen") {
        if (!ParseOptions(args, 1, {"--out"}, options, positional, problem))
            return UsageError(problem, err);
        if (!positional.empty())
            return UsageError("keygen takes no argument " + positional.front(), err);
        if (options.count("--out") == 0)
            return UsageError("keygen needs --out", err);
        if (!CanSign())
            return UsageError("keygen: " + std::string("this build makes no keys; use the Linux "
                                                       "build of qmxpublish"),
                              err);
        std::string publicText;
        if (!MakeKeyPair(options["--out"], publicText, report)) {
            report.Print(err);
            return kExitErrors;
        }
        // The only line on standard output: the text for the build option.
        out << publicText << "\n";
        err << "qmxpublish: private key written to " << options["--out"]
            << "; keep it off the server\n";
        return kExitClean;
    }
    if (command == "describe") {
        if (!ParseOptions(args, 1, {"--version", "--url", "--installer", "--out", "--sign"},
                          options, positional, problem))
            return UsageError(problem, err);
        if (!positional.empty())
            return UsageError("describe takes no argument " + positional.front(), err);
        for (const char* required : {"--version", "--url", "--installer"}) {
            if (options.count(required) == 0)
                return UsageError(std::string("describe needs ") + required, err);
        }
        DescribeRequest request;
        request.version = options["--version"];
        request.url = options["--url"];
        request.installer = options["--installer"];
        if (options.count("--out") != 0)
            request.out = options["--out"];
        if (options.count("--sign") != 0) {
            if (!CanSign())
                return UsageError("describe --sign: this build signs nothing; use the Linux "
                                  "build of qmxpublish",
                                  err);
            request.signingKey = options["--sign"];
            if (request.signingKey.empty())
                return UsageError("--sign is empty", err);
        }
        DescribeInstaller(request, report);
        return Finish(report, out);
    }
    if (command == "check" || command == "explain") {
        const std::vector<std::string> known = command == "check"
                                                   ? std::vector<std::string>{"--host", "--key"}
                                                   : std::vector<std::string>{};
        const std::vector<std::string> flags =
            command == "check" ? std::vector<std::string>{"--tls"} : std::vector<std::string>{};
        if (!ParseOptions(args, 1, known, options, positional, problem, flags))
            return UsageError(problem, err);
        if (positional.size() != 1)
            return UsageError(command + " needs exactly one TREE", err);
        if (command == "explain") {
            ExplainTree(positional.front(), report);
            return Finish(report, out);
        }
        CheckOptions checkOptions;
        checkOptions.treeHost = options["--host"];
        checkOptions.tls = options.count("--tls") != 0;
        if (options.count("--key") != 0) {
            checkOptions.publicKey = options["--key"];
            if (!IsPublicKeyText(checkOptions.publicKey))
                return UsageError("--key is not a public key text as keygen prints it", err);
        }
        CheckTree(positional.front(), checkOptions, report);
        const int code = Finish(report, out);
        out << "summary: " << report.Errors() << " error(s), " << report.Warnings()
            << " warning(s)\n";
        return code;
    }
    return UsageError("unknown command " + command, err);
}

} // namespace qmxpublish
