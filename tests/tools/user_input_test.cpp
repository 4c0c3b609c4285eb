// Files and lines from the user that are not what a command expects: directories, FIFOs,
// devices, files too large to load, binary scripts, overlapping images, addresses past
// the top of memory. Each fails its command with a clear message; the session goes on
// with --keep-going and the exit status says something failed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "elf_builder.h"
#include "host_test_support.h"

namespace vantrel::test {
namespace {

class UserFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantrel-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    // Sparse: larger than any file the host reads whole, without using the disk.
    const int fd = open(Path("huge").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{300} << 20), 0);
    close(fd);
    const auto overlapping = ElfBuilder()
                                 .Segment(0, std::vector<unsigned char>(256, 0xAA))
                                 .Segment(0x80, std::vector<unsigned char>(16, 0xBB))
                                 .Function("main", 0, 8)
                                 .Build();
    std::ofstream(Path("overlap.elf"), std::ios::binary)
        .write(reinterpret_cast<const char*>(overlapping.data()), static_cast<std::streamsize>(overlapping.size()));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

TEST_F(UserFiles, FailTheCommandWithAClearMessageAndTheSessionGoesOn) {
  const struct {
    std::string command;
    std::string message;
  } cases[] = {
      {"load " + dir_, "vantrel: load: " + dir_ + ": a directory, not a regular file"},
      {"load " + dir_ + " --at 0", "vantrel: load: " + dir_ + ": a directory, not a regular file"},
      {"write 0 --file " + dir_, "vantrel: write: " + dir_ + ": a directory, not a regular file"},
      {"write 0 --file " + Path("fifo"), "vantrel: write: " + Path("fifo") + ": a FIFO, not a regular file"},
      {"load /dev/zero --at 0", "vantrel: load: /dev/zero: a device, not a regular file"},
      {"load " + Path("huge") + " --at 0", "vantrel: load: " + Path("huge") + ": too large (314572800 bytes"},
      {"write 0 --file " + Path("huge"), "vantrel: write: " + Path("huge") + ": too large"},
      {"read 0 4 --out " + dir_, "vantrel: read: " + dir_ + ": a directory, not a regular file"},
      {"read 0 4 --out " + Path("fifo"), "vantrel: read: " + Path("fifo") + ": a FIFO, not a regular file"},
      {"read 0 4 --out /dev/zero", "vantrel: read: /dev/zero: a device, not a regular file"},
      {"load " + Path("overlap.elf"),
       "vantrel: load: " + Path("overlap.elf") + ": loadable segments overlap at 0x00000080"},
  };
  for (const auto& c : cases) {
    const HostRun run = RunCommands("open; connect; " + c.command + "; version", {"--keep-going"});
    EXPECT_EQ(run.exitCode, 1) << c.command << "\nstderr: " << run.err;
    EXPECT_TRUE(Contains(run.err, c.message)) << c.command << "\nstderr: " << run.err;
    EXPECT_TRUE(Contains(run.out, "Vantrel V1.2")) << c.command << ": the session did not go on";
    EXPECT_FALSE(Contains(run.out, "segment ")) << c.command << ": something was loaded";
  }
}

TEST_F(UserFiles, ReadOutputGoesToAFileOrTheNullDevice) {
  HostRun run = RunCommands("open; connect; write 0x100 0102; read 0x100 2 --out " + Path("out.bin"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::ifstream saved(Path("out.bin"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), std::string("\x01\x02", 2));
  run = RunCommands("open; connect; read 0 4 --out /dev/null");
  EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST_F(UserFiles, ScriptsMustBeTextFiles) {
  HostRun run = RunHost({kHost, "-q", "-f", dir_});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "vantrel: cannot open the script " + dir_ + ": a directory, not a regular file"))
      << run.err;

  run = RunHost({kHost, "-q", "-f", Path("fifo")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "a FIFO, not a regular file")) << run.err;

  std::ofstream(Path("nul.vtl"), std::ios::binary) << std::string("status\nver\0sion\nversion\n", 23);
  run = RunHost({kHost, "-q", "--keep-going", "-f", Path("nul.vtl")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "vantrel: " + Path("nul.vtl") + ":2: a NUL byte in the line")) << run.err;
  EXPECT_FALSE(Contains(run.err, "unknown command")) << run.err;
  EXPECT_TRUE(Contains(run.out, "Vantrel V1.2")) << "the line after it did not run";
}

TEST(UserAddresses, ASymbolPlusOffsetPastTheTopOfMemoryIsRefused) {
  const HostRun run = RunCommands("open; connect; load " + kDemoElf + "; read main+0xFFFFFFFF 4");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "vantrel: read: 'main+0xFFFFFFFF' passes the end of the 32-bit address space"))
      << run.err;
}

}  // namespace
}  // namespace vantrel::test
