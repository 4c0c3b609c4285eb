// The parallel port through the kernel's port device, as an ordinary user has it. Each
// test starts itself again in a child process, as nobody when it runs as root, with the
// device stand-in (tests/support/ppdev_shim) preloaded: the library's own open, ioctl
// and close calls reach the simulated board. The child loads the real library, which
// can't use IN and OUT there and so takes /dev/parport0.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "memory_requests.h"
#include "support/child_process.h"
#include "support/ppdev_shim/ppdev_shim.h"

namespace vantrel::e2e {
namespace {

constexpr char kChildVariable[] = "VANTREL_PPDEV_CHILD";
constexpr char kLogVariable[] = "VANTREL_PPDEV_LOG";
constexpr char kVirtualPortVariable[] = "VANTREL_PPDEV_VIRTUAL";
constexpr char kLptDriverFailed[] = "LPT driver initialization failed";
constexpr uint32_t kBranchToSelf = 0xEAFFFFFE;  // B .

bool IsChild() { return std::getenv(kChildVariable) != nullptr; }

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The stand-in in front of everything else. The sanitizers' runtime would insist on
// coming first in the preload list; it is told not to.
std::vector<std::string> PreloadVariables() {
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::string options = "ASAN_OPTIONS=";
  if (asan != nullptr && *asan != '\0') options.append(asan).append(":");
  options.append("verify_asan_link_order=0");
  return {std::string("LD_PRELOAD=") + VANTREL_PPDEV_SHIM_PATH, options};
}

template <typename Function>
Function ShimEntry(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

std::vector<uint32_t> ReadLog(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint32_t> entries(bytes.size() / sizeof(uint32_t));
  std::memcpy(entries.data(), bytes.data(), entries.size() * sizeof(uint32_t));
  return entries;
}

void WriteLog(const std::string& path, const uint32_t* entries, std::size_t count) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(entries), static_cast<std::streamsize>(count * sizeof(uint32_t)));
  ASSERT_TRUE(out.good()) << path;
}

class PpdevTest : public MemoryTest {
 protected:
  // Only TCK edges move a running core, so both boards answer alike, access for access.
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    return config;
  }

  // The parent loads nothing: the library is the child's.
  void SetUp() override {
    if (!IsChild()) return;
    ASSERT_NE(geteuid(), 0u) << "the child must run as an ordinary user";
    MemoryTest::SetUp();
    set_fault_ = ShimEntry<VantrelShimSetFault>("vantrel_shim_set_fault");
    counts_ = ShimEntry<VantrelShimGetCounts>("vantrel_shim_counts");
    shim_log_ = ShimEntry<VantrelShimLog>("vantrel_shim_log");
    const auto newBoard = ShimEntry<VantrelShimNewBoard>("vantrel_shim_new_board");
    ASSERT_TRUE(set_fault_ && counts_ && shim_log_ && newBoard) << "the device stand-in is not preloaded";
    newBoard();
    if (std::getenv(kVirtualPortVariable) != nullptr) {
      PlugRecordingPort();
    } else {
      library().VantrelUsePortIo(nullptr);  // the hardware: for this process, the port device
    }
  }

  // Unloading resets the TAP through the port, which must still be this fixture's.
  void TearDown() override {
    if (IsChild()) library().Unload();
  }

  // Runs this test again in a child, as nobody when this process is root, with the
  // stand-in preloaded and the given variables set; fails when the child fails.
  static void RunInChild(const std::vector<std::string>& variables = {}) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::vector<std::string> argv;
    if (geteuid() == 0) argv = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    argv.push_back("/usr/bin/env");
    argv.push_back(std::string(kChildVariable) + "=1");
    for (const std::string& variable : PreloadVariables()) argv.push_back(variable);
    argv.insert(argv.end(), variables.begin(), variables.end());
    argv.push_back(std::filesystem::read_symlink("/proc/self/exe").string());
    argv.push_back(std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name());
    test::ChildProcess child(argv);
    ASSERT_TRUE(child.Started());
    child.CloseInput();
    const std::string output = child.ReadAll(300000);
    EXPECT_EQ(child.Wait(10000), 0) << output;
  }

  // A folder the child (nobody) may write.
  static std::filesystem::path SharedFolder() {
    std::string pattern = ::testing::TempDir() + "ppdev_XXXXXX";
    const char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    chmod(pattern.c_str(), 0777);
    return pattern;
  }

  bool Traced(const std::string& line) {
    for (const std::string& traced : TraceLines()) {
      if (traced == line) return true;
    }
    return false;
  }

  // open, connect, registers, 4 KiB written and read back, a download, breakpoints,
  // run, stop, disconnect.
  void RunSession() {
    ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
    ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
    ASSERT_EQ(ReadRegistersByNames({"r0", "cpsr", "spsr"}).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WriteRegister("r4", 0x12345678).status, VANTREL_STATUS_OK);
    const std::vector<uint8_t> data = Pattern(4096, 0x5A);
    Job([&] { return WriteMemory(0x8000, data); });
    std::vector<uint8_t> buffer(4096);
    Job([&] { return ReadMemory(0x8000, buffer.data(), 4096); });
    ASSERT_EQ(buffer, data);
    std::vector<uint8_t> image;
    for (int word = 0; word < 512; ++word) {
      for (int b = 0; b < 4; ++b) image.push_back(static_cast<uint8_t>(kBranchToSelf >> (8 * b)));
    }
    Job([&] { return Download(0x4000, 0x4000, image, 0); });
    ASSERT_EQ(SetHardwareBreak(0x4100).status, VANTREL_STATUS_OK);
    const JtagResponse software = SetSoftwareBreak(0x4200);
    ASSERT_EQ(software.status, VANTREL_STATUS_OK);
    ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
    ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
    ASSERT_EQ(ClearSoftwareBreak(0x4200, software.data).status, VANTREL_STATUS_OK);
    ASSERT_EQ(ClearHardwareBreak().status, VANTREL_STATUS_OK);
    ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
  }

  // A host clears the last result before a job's command, so that the job's own
  // result is the one it waits for.
  template <typename Command>
  void Job(Command command) {
    library().jtagClearLastError();
    ASSERT_EQ(command().status, VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
  }

  VantrelShimSetFault set_fault_ = nullptr;
  VantrelShimGetCounts counts_ = nullptr;
  VantrelShimLog shim_log_ = nullptr;
  std::vector<uint32_t> virtual_log_;

 private:
  // The fixture's board behind the library's seam, each access noted as the stand-in
  // notes its register calls.
  void PlugRecordingPort() {
    board_io_ = board().PortIo();
    const VantrelPortIo recording{this, [](void*) { return 0; }, &Read, &Write};
    library().VantrelUsePortIo(&recording);
  }
  void Note(bool write, unsigned short port, unsigned char value) {
    const auto reg = static_cast<uint32_t>(port - board().Config().portBase);
    virtual_log_.push_back((write ? VANTREL_SHIM_ACCESS_WRITE : 0u) | reg << VANTREL_SHIM_REGISTER_SHIFT |
                           uint32_t{value} << VANTREL_SHIM_VALUE_SHIFT);
  }
  static unsigned char Read(void* context, unsigned short port) {
    auto* self = static_cast<PpdevTest*>(context);
    const unsigned char value = self->board_io_.read(self->board_io_.context, port);
    self->Note(false, port, value);
    return value;
  }
  static void Write(void* context, unsigned short port, unsigned char value) {
    auto* self = static_cast<PpdevTest*>(context);
    self->Note(true, port, value);
    self->board_io_.write(self->board_io_.context, port, value);
  }

  VantrelPortIo board_io_{};
};

TEST_F(PpdevTest, WholeSessionThroughTheDeviceMakesTheSameTrafficAsTheDirectPort) {
  if (!IsChild()) {
    const std::filesystem::path folder = SharedFolder();
    const std::string direct = (folder / "direct").string();
    const std::string device = (folder / "device").string();
    RunInChild({std::string(kVirtualPortVariable) + "=1", std::string(kLogVariable) + "=" + direct});
    RunInChild({std::string(kLogVariable) + "=" + device});
    const std::vector<uint32_t> directLog = ReadLog(direct);
    const std::vector<uint32_t> deviceLog = ReadLog(device);
    std::filesystem::remove_all(folder);
    EXPECT_GT(directLog.size(), 500000u);
    ASSERT_EQ(deviceLog.size(), directLog.size());
    for (std::size_t i = 0; i < directLog.size(); ++i) {
      ASSERT_EQ(deviceLog[i], directLog[i]) << "access " << i;
    }
    return;
  }
  RunSession();
  if (std::getenv(kVirtualPortVariable) != nullptr) {
    WriteLog(Variable(kLogVariable), virtual_log_.data(), virtual_log_.size());
    return;
  }
  EXPECT_TRUE(Traced("lpt1: port reached through /dev/parport0\n"));
  const VantrelShimCounts counts = counts_();
  EXPECT_EQ(counts.opens, 1);
  EXPECT_EQ(counts.claims, 1);
  EXPECT_EQ(counts.releases, 1) << "the disconnect lets go of the port";
  EXPECT_EQ(counts.closes, 1);
  EXPECT_EQ(counts.open, 0);
  const uint32_t* entries = nullptr;
  const std::size_t count = shim_log_(&entries);
  WriteLog(Variable(kLogVariable), entries, count);
}

struct Refusal {
  int fault;
  const char* reason;
};

TEST_F(PpdevTest, RefusedDeviceFailsTheOpenWithATraceLineAndTheNextOpenWorks) {
  if (!IsChild()) return RunInChild();
  constexpr Refusal kRefusals[] = {
      {VANTREL_SHIM_MISSING, "No such file or directory"},
      {VANTREL_SHIM_FORBIDDEN, "Permission denied"},
      {VANTREL_SHIM_BUSY, "Device or resource busy"},  // after the access attempts
  };
  for (const Refusal& refusal : kRefusals) {
    SCOPED_TRACE(refusal.reason);
    ClearTrace();
    set_fault_(refusal.fault, 0);
    const JtagResponse refused = Open();
    EXPECT_EQ(refused.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(test::ResponseText(refused), kLptDriverFailed);
    EXPECT_TRUE(Traced(std::string("lpt1: no port access through /dev/parport0: ") + refusal.reason + "\n"));
    EXPECT_EQ(counts_().open, 0);
    set_fault_(VANTREL_SHIM_SERVE, 0);
    OpenAndConnect();
    ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
    EXPECT_EQ(counts_().open, 0);
  }
}

TEST_F(PpdevTest, DeviceVanishingMidTransferFailsItAndTheNextOpenWorks) {
  if (!IsChild()) return RunInChild();
  OpenAndConnect();
  const std::vector<uint8_t> data = Pattern(4096, 0x3C);
  set_fault_(VANTREL_SHIM_VANISH, 100000);  // about a third of the write
  library().jtagClearLastError();
  ASSERT_EQ(WriteMemory(0x8000, data).status, VANTREL_STATUS_OK);
  EXPECT_NE(WaitForJob(), 0);
  EXPECT_EQ(TraceCount("lpt1: /dev/parport0 lost, No such device\n"), 1);
  EXPECT_EQ(counts_().open, 0) << "a lost device is closed";
  // Still gone: the open says so; back: the session goes on.
  const JtagResponse refused = Open();
  EXPECT_EQ(test::ResponseText(refused), kLptDriverFailed);
  set_fault_(VANTREL_SHIM_SERVE, 0);
  OpenAndConnect();
  library().jtagClearLastError();
  ASSERT_EQ(WriteMemory(0x8000, data).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), 0);
  std::vector<uint8_t> buffer(4096);
  library().jtagClearLastError();
  ASSERT_EQ(ReadMemory(0x8000, buffer.data(), 4096).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), 0);
  EXPECT_EQ(buffer, data);
}

// lpt.ini names the way per port: a device line that device, an address line IN and
// OUT only, which an ordinary user may not use, so there is no falling back to the
// device then.
TEST_F(PpdevTest, LptIniNamesThePortsDevice) {
  const std::filesystem::path ini = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "lpt.ini";
  if (!IsChild()) {
    std::ofstream(ini) << "lpt1=378\nlpt2=/dev/vantrel-test-port  # the card\n";
    RunInChild({"VANTREL_SHIM_DEVICE=/dev/vantrel-test-port"});
    std::filesystem::remove(ini);
    return;
  }
  EXPECT_EQ(test::ResponseText(Open("lpt1")), kLptDriverFailed);
  EXPECT_TRUE(Traced("lpt1: no port access with IN and OUT at 0x378\n"));
  EXPECT_EQ(counts_().opens, 0);
  const JtagResponse second = Open("lpt2");
  ASSERT_EQ(second.status, VANTREL_STATUS_OK) << test::ResponseText(second);
  EXPECT_TRUE(Traced("lpt2: port reached through /dev/vantrel-test-port\n"));
  ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
  EXPECT_EQ(counts_().closes, 1);
}

#ifdef VANTREL_HOST_PATH
// The command-line host as an ordinary user: --port lpt1 reaches the cable through the
// device and says so.
TEST_F(PpdevTest, CommandLineHostReachesTheCableThroughTheDevice) {
  std::vector<std::string> argv;
  if (geteuid() == 0) argv = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  argv.insert(argv.end(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", "/usr/bin/env"});
  for (const std::string& variable : PreloadVariables()) argv.push_back(variable);
  argv.insert(argv.end(), {VANTREL_HOST_PATH, "--port", "lpt1", "open; connect; reg r4 0x1234; reg r4; disconnect"});
  test::ChildProcess host(argv);
  ASSERT_TRUE(host.Started());
  host.CloseInput();
  const std::string output = host.ReadAll(60000);
  EXPECT_EQ(host.Wait(10000), 0) << output;
  EXPECT_NE(output.find("vantrel: lpt1: port reached through /dev/parport0\n"), std::string::npos) << output;
  EXPECT_NE(output.find("0x00001234"), std::string::npos) << output;
}
#endif

}  // namespace
}  // namespace vantrel::e2e
