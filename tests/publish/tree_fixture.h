// A server tree in a temporary folder for the qmxpublish tests: a known-good
// set of documents (customer 7 offered everywhere, its installer and its
// description) that each test then breaks in one place.
#pragma once
#include "publish.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace qmxpublish {

// The host the fixture's documents name; check runs with --host set to it.
extern const char kTestHost[];
extern const char kSettingsPath[];
extern const char kCustomerPath[];    // customer 7's document
extern const char kDescriptionPath[]; // customer 7's installer description
extern const char kInstallerPath[];
// The fixture's installer holds "abc"; its published digest (RFC 1321 test suite).
extern const char kInstallerBytes[];
extern const char kInstallerMd5[];

// Customer-settings item for one customer with all six flags set to `flag`.
std::string Item(const std::string& id, const std::string& flag = "True");
std::string Settings(const std::string& items);
// Customer document with the given elements between <Option> and </Option>.
std::string CustomerDoc(const std::string& elements);
std::string GoodCustomerElements();
std::string Description(const std::string& verson, const std::string& downLoad,
                        const std::string& md5);
std::string InstallerUrl();

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path() const { return m_path.u8string(); }
    std::string Write(const std::string& relative, const std::string& content) const;
    std::string Read(const std::string& relative) const;
    void Remove(const std::string& relative) const;

  private:
    std::filesystem::path m_path;
};

class PublishTree : public ::testing::Test {
  protected:
    void SetUp() override;   // writes the known-good tree
    Report RunCheck() const; // with --host kTestHost
    Report RunCheckWithoutHost() const;
    Report RunExplain() const;

    TempDir tree;
};

// True when some line starts with `prefix` and contains every one of `parts`.
bool HasLine(const Report& report, const std::string& prefix,
             std::initializer_list<std::string> parts);
std::string Dump(const Report& report);

} // namespace qmxpublish
