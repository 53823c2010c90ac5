// The installer description maker: Verson, DownLoad and the installer's MD5
// written with the assistant's own document class, then read back with it,
// so a published description is one the assistant is known to read.
#include "publish.h"
#include "server_tree.h"
#include "signing.h"

#include "config/xml_config.h"
#include "download/md5.h"

namespace qmxpublish {

namespace {
const char kVerson[] = "Verson";
const char kDownLoad[] = "DownLoad";
const char kMd5[] = "MD5";
const char kSignature[] = "Signature";
} // namespace

bool MakeKeyPair(const std::string& out, std::string& publicText, Report& report) {
    std::string problem;
    if (!MakeSigningKey(out, publicText, problem)) {
        report.Error(out, problem);
        return false;
    }
    return true;
}

bool DescribeInstaller(const DescribeRequest& request, Report& report) {
    if (request.version.empty()) {
        report.Error("", "--version is empty; the assistant refuses a description without one");
        return false;
    }
    Url url;
    if (!SplitUrl(request.url, url) || !IsHttpScheme(url) || HasOuterBlanks(request.url)) {
        report.Error("", "--url " + Quoted(request.url) +
                             " is not an http:// or https:// address of the installer");
        return false;
    }
    if (request.url.back() == '/') {
        report.Warning("", "--url " + Quoted(request.url) +
                               " ends with \"/\"; it should name the installer file");
    }
    if (!IsAscii(request.url)) {
        report.Warning("", "--url holds non-ASCII characters; the assistant passes addresses "
                           "through the ANSI code page, so percent-encode them");
    }
    if (!IsRegularFile(request.installer)) {
        report.Error(request.installer, "no such installer file");
        return false;
    }
    const std::string md5 = GetFileMD5(request.installer);
    if (md5.empty()) {
        report.Error(request.installer, "cannot be read");
        return false;
    }
    CXmlConfig description;
    description.values[kVerson] = request.version;
    description.values[kDownLoad] = request.url;
    description.values[kMd5] = md5;
    if (!request.signingKey.empty()) {
        std::string signature;
        std::string problem;
        if (!SignFile(request.signingKey, request.installer, signature, problem)) {
            report.Error(request.signingKey, problem);
            return false;
        }
        description.values[kSignature] = signature;
    }
    if (!description.SaveToFile(request.out)) {
        report.Error(request.out, "cannot be written");
        return false;
    }
    CXmlConfig readBack;
    if (!readBack.LoadFromFile(request.out) || readBack.values != description.values) {
        report.Error(request.out, "written, but the assistant does not read back what was "
                                  "written");
        return false;
    }
    report.Ok(request.out, "Verson " + Quoted(request.version) + ", DownLoad " + request.url +
                               ", MD5 " + md5 +
                               (request.signingKey.empty() ? ", not signed" : ", signed"));
    return true;
}

} // namespace qmxpublish
