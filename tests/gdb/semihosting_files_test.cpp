// The files semihosting lets a program reach: a real directory tree with links that
// lead in and out of it, and names that try to leave it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "gdb_server.h"
#include "semihosting_files.h"

namespace vantrel::gdb {
namespace {

constexpr uint32_t kRead = 0;
constexpr uint32_t kWrite = 4;
constexpr uint32_t kAppend = 8;

class ConfinedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantrel-confined-XXXXXX";
    root_ = mkdtemp(pattern);
    const std::string files = root_ + "/files";
    mkdir(files.c_str(), 0700);
    mkdir((files + "/sub").c_str(), 0700);
    std::ofstream(files + "/note.txt") << "note";
    std::ofstream(files + "/sub/inner.txt") << "inner";
    std::ofstream(root_ + "/secret.txt") << "secret";
    symlink("sub", (files + "/link_in").c_str());
    symlink("..", (files + "/link_out").c_str());
    symlink((root_ + "/secret.txt").c_str(), (files + "/absolute_link").c_str());
    mkfifo((files + "/fifo").c_str(), 0600);
    std::string error;
    ASSERT_TRUE(files_.SetDirectory(files, &error)) << error;
  }
  void TearDown() override { (void)std::system(("rm -rf " + root_).c_str()); }

  std::string root_;
  ConfinedFiles files_;
};

TEST_F(ConfinedFilesTest, OnlyRegularFilesBelowTheDirectoryOpen) {
  const struct {
    const char* name;
    uint32_t mode;
    bool opens;
  } cases[] = {
      {"note.txt", kRead, true},
      {"sub/inner.txt", kRead, true},
      {"link_in/inner.txt", kRead, true},  // a link that stays inside
      {"new.txt", kWrite, true},
      {"../secret.txt", kRead, false},
      {"sub/../note.txt", kRead, false},
      {"..", kRead, false},
      {"/etc/passwd", kRead, false},
      {"", kRead, false},
      {"link_out/secret.txt", kRead, false},
      {"link_out/escaped.txt", kWrite, false},  // nor created outside
      {"absolute_link", kRead, false},
      {"fifo", kRead, false},  // refused at once, not waited on
      {"sub", kRead, false},
      {"missing.txt", kRead, false},
  };
  for (const auto& c : cases) {
    const int handle = files_.Open(c.name, c.mode);
    EXPECT_EQ(handle >= 0, c.opens) << c.name;
    if (handle < 0) {
      EXPECT_NE(files_.LastError(), 0) << c.name;
    } else {
      EXPECT_EQ(files_.Close(handle), 0) << c.name;
    }
  }
  EXPECT_NE(access((root_ + "/escaped.txt").c_str(), F_OK), 0);
}

TEST_F(ConfinedFilesTest, RemoveStaysInsideAndReadWriteSeekLength) {
  EXPECT_NE(files_.Remove("link_out/secret.txt"), 0);
  EXPECT_NE(files_.Remove("../secret.txt"), 0);
  EXPECT_EQ(access((root_ + "/secret.txt").c_str(), F_OK), 0);
  EXPECT_EQ(files_.Remove("absolute_link"), 0);  // the link itself, inside
  EXPECT_EQ(access((root_ + "/secret.txt").c_str(), F_OK), 0);

  const int handle = files_.Open("sub/inner.txt", kAppend);
  ASSERT_GE(handle, kConsoleError + 1);
  const unsigned char more[] = {'!', '!'};
  EXPECT_EQ(files_.Write(handle, more, sizeof more), 2);
  EXPECT_EQ(files_.Length(handle), 7);
  EXPECT_EQ(files_.IsConsole(handle), 0);
  EXPECT_EQ(files_.Close(handle), 0);
  EXPECT_EQ(files_.Close(handle), -1);
  EXPECT_EQ(files_.LastError(), EBADF);
  const int reader = files_.Open("sub/inner.txt", kRead);
  EXPECT_EQ(files_.Seek(reader, 5), 0);
  unsigned char tail[8] = {};
  EXPECT_EQ(files_.Read(reader, tail, sizeof tail), 2);
  EXPECT_EQ(files_.Read(reader, tail, sizeof tail), 0);
  EXPECT_EQ(files_.Remove("sub/inner.txt"), 0);
}

TEST(ConfinedFiles, ConsoleHandlesModesAndLimitsWithoutADirectory) {
  ConfinedFiles files;
  EXPECT_EQ(files.Open(":tt", 0), kConsoleInput);
  EXPECT_EQ(files.Open(":tt", 5), kConsoleOutput);
  EXPECT_EQ(files.Open(":tt", 9), kConsoleError);
  EXPECT_EQ(files.IsConsole(kConsoleOutput), 1);
  EXPECT_EQ(files.IsConsole(99), -1);
  EXPECT_EQ(files.Open(":tt", 12), -1);
  EXPECT_EQ(files.LastError(), EINVAL);
  EXPECT_EQ(files.Open("note.txt", kRead), -1);
  EXPECT_EQ(files.LastError(), EACCES);
  EXPECT_NE(files.Remove("note.txt"), 0);

  char pattern[] = "/tmp/vantrel-handles-XXXXXX";
  const std::string root = mkdtemp(pattern);
  std::string error;
  ASSERT_TRUE(files.SetDirectory(root, &error)) << error;
  int opened = 0;
  while (files.Open("many.txt", kWrite) >= 0 && opened < 1000) ++opened;
  EXPECT_LT(opened, 1000);  // a program that never closes runs out, the server does not
  EXPECT_EQ(files.LastError(), EMFILE);
  files.CloseAll();
  EXPECT_GE(files.Open("many.txt", kRead), 0);
  (void)std::system(("rm -rf " + root).c_str());
  EXPECT_FALSE(files.SetDirectory(root, &error));
  EXPECT_NE(error.find("--semihosting-dir"), std::string::npos) << error;
}

TEST(ServerArguments, SemihostingSwitchAndDirectory) {
  std::string error;
  const auto settings =
      ParseServerArguments({"--semihosting", "--listen", "3334", "--semihosting-dir", "files"}, &error);
  ASSERT_TRUE(settings) << error;
  EXPECT_TRUE(settings->semihosting);
  EXPECT_EQ(settings->semihostingDirectory, "files");
  EXPECT_EQ(settings->listen.port, 3334);
  EXPECT_FALSE(ParseServerArguments({}, &error)->semihosting);
  EXPECT_FALSE(ParseServerArguments({"--semihosting-dir"}, &error));
  EXPECT_FALSE(ParseServerArguments({"--semihosting", "on"}, &error));
}

}  // namespace
}  // namespace vantrel::gdb
