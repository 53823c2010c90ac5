// The command line: exit codes a script can rely on and usage messages for
// command lines that are wrong.
#include "tree_fixture.h"

#include "qmx_version.h"

#include <algorithm>
#include <sstream>

namespace qmxpublish {
namespace {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome Publish(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunQmxPublish(args, out, err);
    return {code, out.str(), err.str()};
}

class CommandLine : public PublishTree {};

TEST_F(CommandLine, CleanCheckExitsZeroWithSummary) {
    const Outcome run = Publish({"check", "--host", kTestHost, tree.Path()});
    EXPECT_EQ(run.code, kExitClean) << run.out << run.err;
    EXPECT_NE(run.out.find("summary: 0 error(s), 0 warning(s)"), std::string::npos) << run.out;
}

TEST_F(CommandLine, OptionsMayFollowTheTree) {
    const Outcome run = Publish({"check", tree.Path(), "--host", kTestHost});
    EXPECT_EQ(run.code, kExitClean) << run.out << run.err;
}

TEST_F(CommandLine, WarningsAloneExitZero) {
    tree.Write(kSettingsPath, Settings(Item("7", "true")));
    const Outcome run = Publish({"check", "--host", kTestHost, tree.Path()});
    EXPECT_EQ(run.code, kExitClean) << run.out;
    EXPECT_NE(run.out.find("warning: "), std::string::npos) << run.out;
}

TEST_F(CommandLine, TlsWarnsAboutEveryHttpAddress) {
    EXPECT_EQ(Publish({"check", "--tls", "--host", kTestHost, tree.Path()}).out.find("warning: "),
              std::string::npos);
    std::string plain = InstallerUrl();
    plain.replace(0, 6, "http:");
    tree.Write(kDescriptionPath, Description("1.0.0", plain, kInstallerMd5));
    const Outcome run = Publish({"check", "--tls", "--host", kTestHost, tree.Path()});
    EXPECT_EQ(run.code, kExitClean) << run.out << run.err;
    EXPECT_NE(run.out.find("is an http: address; an assistant built for HTTPS"), std::string::npos)
        << run.out;
    EXPECT_EQ(Publish({"check", "--host", kTestHost, tree.Path()}).out.find("warning: "),
              std::string::npos);
}

TEST_F(CommandLine, ErrorsExitOne) {
    tree.Write(kDescriptionPath,
               Description("1", InstallerUrl(), "900150983CD24FB0D6963F7D28E17F72"));
    const Outcome run = Publish({"check", "--host", kTestHost, tree.Path()});
    EXPECT_EQ(run.code, kExitErrors) << run.out;
    EXPECT_NE(run.out.find("error: "), std::string::npos) << run.out;
}

TEST_F(CommandLine, VersionIsTheBuildsOne) {
    const Outcome run = Publish({"--version"});
    EXPECT_EQ(run.code, kExitClean);
    EXPECT_EQ(run.out, "qmxpublish " QMX_VERSION_STRING "\n");
}

TEST_F(CommandLine, ExplainPrintsOneLinePerLanguageAndFamily) {
    const Outcome run = Publish({"explain", tree.Path()});
    EXPECT_EQ(run.code, kExitClean) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 8) << run.out;
}

TEST_F(CommandLine, DescribeWritesWhereTold) {
    const std::string out = tree.Path() + "/described.xml";
    const Outcome run = Publish({"describe", "--version", "1.2", "--url", InstallerUrl(),
                                 "--installer", tree.Path() + "/" + kInstallerPath, "--out", out});
    EXPECT_EQ(run.code, kExitClean) << run.out << run.err;
    EXPECT_NE(tree.Read("described.xml").find(kInstallerMd5), std::string::npos);
}

struct Misuse {
    std::vector<std::string> args;
    const char* message;
};
class CommandLineMisuse : public ::testing::TestWithParam<Misuse> {};

TEST_P(CommandLineMisuse, ExitsTwoWithAMessage) {
    const Outcome run = Publish(GetParam().args);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("usage:"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Wrong, CommandLineMisuse,
    ::testing::Values(Misuse{{}, "no command"}, Misuse{{"publish"}, "unknown command publish"},
                      Misuse{{"check"}, "exactly one TREE"},
                      Misuse{{"check", "a", "b"}, "exactly one TREE"},
                      Misuse{{"check", "--host"}, "--host needs a value"},
                      Misuse{{"check", "--hots", "h", "t"}, "unknown option --hots"},
                      Misuse{{"explain", "--host", "h", "t"}, "unknown option --host"},
                      Misuse{{"describe", "--version", "1", "--installer", "f"},
                             "describe needs --url"},
                      Misuse{{"describe", "--version", "1", "--version", "2"}, "given twice"},
                      Misuse{{"describe", "stray"}, "takes no argument stray"}));

} // namespace
} // namespace qmxpublish
