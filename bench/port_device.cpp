// What a port access costs through the port device (lpt.ini's "lpt1=/dev/parport0", the
// way an ordinary user reaches the cable) beside the virtual port, both with a
// simulated board behind them: the device's answers come from the preloaded stand-in,
// so the difference is the library's device path plus one ioctl call into the
// stand-in. A real device adds a kernel round trip per access; KernelRoundTrip shows
// the least that costs (an ioctl the kernel refuses at once), and real port hardware
// adds about a microsecond of bus time to either way.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "board/board.h"
#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "cable/port_io.h"
#include "support/ppdev_shim/ppdev_shim.h"

namespace {

using namespace vantrel;

constexpr uint16_t kLpt1Data = 0x378;
constexpr uint16_t kLpt1Status = 0x379;
constexpr int kAccessesPerCycle = 3;

// One TCK cycle as the driver makes it: lines, TDO sample, rising edge.
void ClockCycles(benchmark::State& state, cable::PortCableState& port) {
  uint8_t tdo = 0;
  for (auto _ : state) {
    cable::PortWrite(port, kLpt1Data, 0x01);
    tdo ^= cable::PortRead(port, kLpt1Status);
    cable::PortWrite(port, kLpt1Data, 0x05);
  }
  benchmark::DoNotOptimize(tdo);
  state.SetItemsProcessed(state.iterations() * kAccessesPerCycle);
}

vsim::BoardConfig Quiet() {
  vsim::BoardConfig config;
  config.freeRunInstructionsPerMs = 0;
  return config;
}

void BM_VirtualPortAccess(benchmark::State& state) {
  const auto port = std::make_unique<cable::PortCableState>();  // as at load
  vsim::Board board(Quiet());
  const VantrelPortIo io = board.PortIo();
  cable::UsePortIo(*port, &io);
  if (cable::ObtainPortAccess(*port, 0) != kOk) state.SkipWithError("no access to the virtual port");
  ClockCycles(state, *port);
}
BENCHMARK(BM_VirtualPortAccess);

void BM_DevicePortAccess(benchmark::State& state) {
  const auto port = std::make_unique<cable::PortCableState>();  // as at load
  cable::ApplyPortConfigLine(*port, "lpt1=/dev/parport0\n");    // never IN and OUT, even as root
  if (cable::ObtainPortAccess(*port, 0) != kOk) state.SkipWithError("the port device stand-in is not preloaded");
  ClockCycles(state, *port);
}
BENCHMARK(BM_DevicePortAccess);

void BM_KernelRoundTrip(benchmark::State& state) {
  const int fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  unsigned char status = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ioctl(fd, PPRSTATUS, &status));
  close(fd);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KernelRoundTrip);

}  // namespace

// The stand-in must be preloaded to see the library's calls: the program starts itself
// again with it when it is not.
int main(int argc, char** argv) {
  if (dlsym(RTLD_DEFAULT, "vantrel_shim_counts") == nullptr && std::getenv("VANTREL_BENCH_PRELOADED") == nullptr) {
    setenv("LD_PRELOAD", VANTREL_PPDEV_SHIM_PATH, 1);
    setenv("VANTREL_BENCH_PRELOADED", "1", 1);
    setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 0);  // the sanitizer's runtime would insist on coming first
    execv("/proc/self/exe", argv);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
