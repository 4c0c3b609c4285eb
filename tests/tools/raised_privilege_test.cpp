// vantrel with raised privilege, as `setcap cap_sys_rawio+ep` leaves it: a copy of the
// program and the library in a folder of root's, given the capability and started as
// nobody. Only files the user cannot change are taken: the library beside it and an
// lpt.ini of root's; never --library, never a file in a folder the user could change.
// Needs root (to set the capability and to become nobody) and a mount that honours file
// capabilities; skipped where the machine does not allow it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/child_process.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr int kWaitMs = 30000;
constexpr char kSetpriv[] = "/usr/bin/setpriv";
constexpr char kSetcap[] = "/sbin/setcap";

struct Outcome {
  int exitStatus = -1;
  std::string output;
};

bool Succeeds(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

class RaisedPrivilegeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root: to give a copy of vantrel a file capability and run it as nobody";
    if (!fs::exists(kSetpriv) || !fs::exists(kSetcap)) GTEST_SKIP() << "needs setpriv and setcap (libcap2-bin)";
    char pattern[] = "/tmp/vantrel-privilege-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    fs::permissions(folder_, fs::perms(0755));
    fs::copy_file(VANTREL_HOST_PATH, folder_ / "vantrel");
    fs::copy_file(VANTREL_LIBRARY_FILE, folder_ / "libVantrel.so");
    if (!Succeeds(std::string(kSetcap) + " cap_sys_rawio+ep " + (folder_ / "vantrel").string())) {
      GTEST_SKIP() << "setcap is not permitted here";
    }
    // The loader drops LD_SHOW_AUXV under secure execution: an auxiliary vector shown
    // means the capability did not take effect (a nosuid mount, say).
    if (RunAsNobody("--version", "LD_SHOW_AUXV=1").output.find("AT_SECURE") != std::string::npos) {
      GTEST_SKIP() << "the file capability does not raise privilege on " << folder_;
    }
  }
  void TearDown() override {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
  }

  Outcome RunAsNobody(const std::string& arguments, const std::string& environment = "") const {
    const std::string command = "cd / && exec " + std::string(kSetpriv) + " --reuid=" + std::to_string(kNobody) +
                                " --regid=" + std::to_string(kNobody) + " --clear-groups env " + environment + " " +
                                (folder_ / "vantrel").string() + " " + arguments + " 2>&1";
    ChildProcess child({"/bin/sh", "-c", command});
    Outcome outcome;
    outcome.output = child.ReadAll(kWaitMs);
    outcome.exitStatus = child.Wait(kWaitMs);
    return outcome;
  }

  fs::path folder_;
};

struct Case {
  const char* name;
  void (*prepare)(const fs::path& folder);
  std::string arguments;
  int exitStatus;
  std::string says;
};

void WriteLptIni(const fs::path& folder, unsigned mode) {
  std::ofstream(folder / "lpt.ini") << "delay=999999\n";
  fs::permissions(folder / "lpt.ini", fs::perms(mode));
}

TEST_F(RaisedPrivilegeTest, OnlyFilesTheUserCannotChangeAreTaken) {
  const Case cases[] = {
      {"the library in root's folder", [](const fs::path&) {}, "'open; connect'", 0, "connected"},
      {"--library", [](const fs::path&) {}, "--library " + (folder_ / "libVantrel.so").string() + " open", 2,
       "--library is refused, since vantrel runs with raised privilege"},
      {"a folder its group may write", [](const fs::path& f) { fs::permissions(f, fs::perms(0775)); }, "open", 2,
       "may be written by its group or by others"},
      {"a folder of the user's", [](const fs::path& f) { ASSERT_EQ(chown(f.c_str(), kNobody, kNobody), 0); }, "open",
       2, "belongs to uid 65534, not root"},
      {"a library others may write", [](const fs::path& f) { fs::permissions(f / "libVantrel.so", fs::perms(0757)); },
       "open", 2, "libVantrel.so may be written by its group or by others"},
      {"root's lpt.ini", [](const fs::path& f) { WriteLptIni(f, 0644); }, "--port lpt1 open", 1, "lpt.ini: delay="},
      {"an lpt.ini others may write", [](const fs::path& f) { WriteLptIni(f, 0646); }, "--port lpt1 open", 1,
       "lpt.ini may be written by its group or by others"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    fs::permissions(folder_, fs::perms(0755));
    ASSERT_EQ(chown(folder_.c_str(), 0, 0), 0);
    fs::permissions(folder_ / "libVantrel.so", fs::perms(0755));
    fs::remove(folder_ / "lpt.ini");
    test.prepare(folder_);
    const Outcome outcome = RunAsNobody(test.arguments);
    EXPECT_EQ(outcome.exitStatus, test.exitStatus) << outcome.output;
    EXPECT_NE(outcome.output.find(test.says), std::string::npos) << outcome.output;
  }
}

// The checks belong to raised privilege only: the same files serve an ordinary process.
TEST_F(RaisedPrivilegeTest, WithoutTheCapabilityTheSameFilesServe) {
  ASSERT_TRUE(Succeeds(std::string(kSetcap) + " -r " + (folder_ / "vantrel").string()));
  fs::permissions(folder_, fs::perms(0775));
  WriteLptIni(folder_, 0646);
  const Outcome outcome = RunAsNobody("--port lpt1 open");
  EXPECT_NE(outcome.output.find("lpt.ini: delay="), std::string::npos) << outcome.output;
  EXPECT_EQ(outcome.output.find("refused"), std::string::npos) << outcome.output;
}

}  // namespace
}  // namespace vantrel::test
