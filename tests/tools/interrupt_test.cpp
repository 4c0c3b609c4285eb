// Ctrl-C in the middle of a session: it stops a transfer through setJtagProcessBreak,
// or stops the core during wait; and a second host on the machine is turned away.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host_test_support.h"

namespace vantrel::test {
namespace {

// Starts vantrel with the commands, retrying while another test holds the library.
std::unique_ptr<HostProcess> StartSession(const std::string& commands, const std::string& waitFor,
                                          const std::string& host = kHost) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (;;) {
    auto process = std::make_unique<HostProcess>(std::vector<std::string>{host, commands});
    if (process->WaitForOut(waitFor, 30000)) return process;
    process->Wait(5000);
    HostRun ended{process->Wait(0), process->Out(), process->Err()};
    if (!RefusedByOtherInstance(ended) || std::chrono::steady_clock::now() > deadline) return process;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

TEST(HostInterrupt, CtrlCDuringWaitStopsTheCore) {
  auto session = StartSession("open; connect; run; wait", "> wait\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  session->Signal(SIGINT);
  ASSERT_EQ(session->Wait(30000), 0) << session->Out() << session->Err();
  EXPECT_TRUE(Contains(session->Out(), "interrupted; stopped at 0x")) << session->Out();
}

TEST(HostInterrupt, CtrlCDuringATransferStopsItThroughTheLibrary) {
  // 256 KiB take about a second on the simulated board: long enough to be interrupted.
  auto session = StartSession("open; connect; read 0 256K --out /dev/null; version", "> read");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  session->Signal(SIGINT);
  EXPECT_EQ(session->Wait(30000), 1);
  EXPECT_TRUE(Contains(session->Err(), "vantrel: read: stopped by Ctrl-C at ")) << session->Err();
  EXPECT_FALSE(Contains(session->Out(), "Vantrel V1.2"));
}

// A copy of vantrel and the library in a directory of its own, with an lpt.ini that
// slows every port access down: a connect then takes seconds in one library call.
class SlowCableHost {
 public:
  explicit SlowCableHost(int delay) {
    char pattern[] = "/tmp/vantrel-slow-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    dir_ = pattern;
    const std::filesystem::path built = std::filesystem::path(kHost).parent_path();
    std::filesystem::copy_file(kHost, dir_ / "vantrel");
    std::filesystem::copy_file(built / "libVantrel.so", dir_ / "libVantrel.so");
    std::ofstream(dir_ / "lpt.ini") << "delay=" << delay << "\n";
  }
  ~SlowCableHost() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  std::string Program() const { return dir_ / "vantrel"; }

 private:
  std::filesystem::path dir_;
};

TEST(HostInterrupt, CtrlCTwiceEndsASynchronousCommandOnASlowCable) {
  // A connect of a few seconds at this delay; both Ctrl-Cs arrive well inside it.
  const SlowCableHost host(200000);
  auto session = StartSession("open; connect; version", "> connect\n", host.Program());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  session->Signal(SIGINT);
  // The first Ctrl-C asks; the connect goes on inside the library and says so.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Contains(session->Err(), "Ctrl-C again ends vantrel") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(Contains(session->Err(), "vantrel: Ctrl-C: stopping the command")) << session->Err();
  session->Signal(SIGINT);
  EXPECT_EQ(session->Wait(10000), 128 + SIGINT) << session->Out() << session->Err();
  EXPECT_FALSE(Contains(session->Out(), "connected")) << session->Out();
}

TEST(HostInterrupt, ASecondHostIsTurnedAwayWithTheLibrarysMessage) {
  auto first = StartSession("open; connect; run; wait", "> wait\n");
  HostProcess second({kHost, "version"});
  EXPECT_EQ(second.Wait(30000), 2);
  EXPECT_TRUE(
      Contains(second.Err(),
               "vantrel: the debugger is debuggering program by another vyn instance, please close it and try again"))
      << second.Err();
  first->Signal(SIGINT);
  EXPECT_EQ(first->Wait(30000), 0);
}

}  // namespace
}  // namespace vantrel::test
