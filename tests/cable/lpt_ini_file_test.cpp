// The one test that writes a real lpt.ini beside its own executable: its program lives
// in a folder of its own and holds the lpt_ini resource lock, so no other test reads
// the file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "cable_fixture.h"
#include "platform/platform.h"

namespace vantrel::test {
namespace {

class LptIniFileTest : public CableFixture {
 protected:
  LptIniFileTest() : CableFixture(0x2F8) {}

  void SetUp() override {
    CableFixture::SetUp();
    std::string directory;
    ASSERT_TRUE(platform::HostExecutableDirectory(directory));
    path_ = directory + cable::kPortConfigFileName;
  }
  void TearDown() override {
    std::remove(path_.c_str());
    CableFixture::TearDown();
  }

  std::string path_;
};

TEST_F(LptIniFileTest, OpenCableReadsTheFileAndKeepsItsValuesWhenItIsGone) {
  std::ofstream(path_) << "lpt2=2F8\ndelay=7\n";

  EXPECT_EQ(cable::OpenCable(State(), 1), kOk);
  EXPECT_EQ(port_.Trace(), "W55 R@2F8");
  EXPECT_EQ(cable::PortDelay(State()), 7);

  ASSERT_EQ(std::remove(path_.c_str()), 0);
  port_.ClearLog();
  EXPECT_EQ(cable::OpenCable(State(), 1), kOk);
  EXPECT_EQ(port_.Trace(), "W55 R@2F8");
  EXPECT_EQ(cable::PortDelay(State()), 7);
}

// A FIFO in place of the file (nobody writes to it) neither holds OpenCable up nor
// changes anything.
TEST_F(LptIniFileTest, OpenCableDoesNotWaitOnAFifo) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  cable::ApplyPortConfigLine(State(), "lpt2=2F8\n");
  cable::SetPortDelay(State(), 3);
  EXPECT_EQ(cable::OpenCable(State(), 1), kOk);
  EXPECT_EQ(port_.Trace(), "W55 R@2F8");
  EXPECT_EQ(cable::PortDelay(State()), 3);
}

}  // namespace
}  // namespace vantrel::test
