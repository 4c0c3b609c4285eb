// Only one library instance on the machine may drive a cable. Real processes load the
// real library here.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "support/child_process.h"

namespace vantrel::test {
namespace {

const std::string kActiveLine = "status=0 dbg=-1 process=0 text=Vantrel";
const std::string kRefusedLine =
    "status=-1 dbg=-1 process=0 text=the debugger is debuggering program by another vyn instance, please close it "
    "and try again";

std::vector<std::string> Probe(const char* mode) { return {INSTANCE_PROBE_PATH, VANTREL_LIBRARY_PATH, mode}; }

std::string RunOnce() {
  ChildProcess probe(Probe("once"));
  std::string line = probe.ReadLine(10000);
  EXPECT_EQ(probe.Wait(10000), 0);
  return line;
}

TEST(InstanceGuard, SecondProcessIsRefusedWhileTheFirstHoldsTheLibrary) {
  ChildProcess first(Probe("hold"));
  ASSERT_EQ(first.ReadLine(10000), kActiveLine);

  EXPECT_EQ(RunOnce(), kRefusedLine);

  first.CloseInput();
  ASSERT_EQ(first.Wait(10000), 0);
  EXPECT_EQ(RunOnce(), kActiveLine);
}

TEST(InstanceGuard, AKilledHolderDoesNotLockLaterHostsOut) {
  ChildProcess first(Probe("hold"));
  ASSERT_EQ(first.ReadLine(10000), kActiveLine);
  first.Kill(SIGKILL);
  ASSERT_EQ(first.Wait(10000), 128 + SIGKILL);

  EXPECT_EQ(RunOnce(), kActiveLine);
}

}  // namespace
}  // namespace vantrel::test
