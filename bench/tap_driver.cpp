// The cable layer's own overhead, measured over a virtual port whose callbacks do
// nothing, so that what remains is the seam, the driver's bookkeeping and PortDelay.
// On real hardware each access costs about a microsecond of bus time on top.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>

#include "cable/cable.h"
#include "cable/port_cable_state.h"
#include "cable/port_io.h"
#include "cable/tap.h"
#include "vantrel_port.h"

namespace {

using namespace vantrel;

constexpr uint16_t kLpt1Data = 0x378;
constexpr uint16_t kLpt1Status = 0x379;
constexpr int kChain1Bits = 33;

// Holds the last data byte (so the cable is found) and counts the accesses; the cable
// it is plugged into starts as at load.
struct NullPort {
  std::unique_ptr<cable::PortCableState> cable = std::make_unique<cable::PortCableState>();
  uint8_t data = 0;
  uint64_t accesses = 0;

  static int Acquire(void*) { return 0; }
  static unsigned char Read(void* context, unsigned short port) {
    auto* self = static_cast<NullPort*>(context);
    ++self->accesses;
    return port == kLpt1Data ? self->data : 0x80;
  }
  static void Write(void* context, unsigned short port, unsigned char value) {
    auto* self = static_cast<NullPort*>(context);
    ++self->accesses;
    if (port == kLpt1Data) self->data = value;
  }
  void Plug() {
    const VantrelPortIo io{this, &Acquire, &Read, &Write};
    cable::UsePortIo(*cable, &io);
  }
};

// Plugs the port and finds the cable on lpt1; the benchmark is skipped otherwise.
bool SelectCable(benchmark::State& state, NullPort& port, int32_t portDelay) {
  port.Plug();
  if (cable::OpenCable(*port.cable, 0) != kOk) {
    state.SkipWithError("the cable was not found on the null port");
    return false;
  }
  cable::SetPortDelay(*port.cable, portDelay);
  port.accesses = 0;
  return true;
}

void Finish(benchmark::State& state, const NullPort& port) {
  state.counters["port_accesses"] =
      benchmark::Counter(static_cast<double>(port.accesses), benchmark::Counter::kAvgIterations);
  state.counters["time_per_access"] =
      benchmark::Counter(static_cast<double>(port.accesses), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One port access at PortDelay 0: the seam's whole cost (target: under 10 ns).
void BM_PortWrite(benchmark::State& state) {
  NullPort port;
  if (!SelectCable(state, port, 0)) return;
  uint8_t value = 0;
  for (auto _ : state) cable::PortWrite(*port.cable, kLpt1Data, value++);
  Finish(state, port);
}
BENCHMARK(BM_PortWrite);

void BM_PortRead(benchmark::State& state) {
  NullPort port;
  if (!SelectCable(state, port, 0)) return;
  for (auto _ : state) benchmark::DoNotOptimize(cable::PortRead(*port.cable, kLpt1Status));
  Finish(state, port);
}
BENCHMARK(BM_PortRead);

// One scan chain 1 exchange as the debug core makes it: 38 TCK cycles, 120 accesses.
void BM_Chain1Exchange(benchmark::State& state) {
  NullPort port;
  if (!SelectCable(state, port, static_cast<int32_t>(state.range(0)))) return;
  std::array<uint32_t, 2> in{0xE1A00000u, 1u};
  std::array<uint32_t, 2> out{};
  for (auto _ : state) {
    cable::ScanDR(*port.cable, kChain1Bits, in.data(), out.data(), cable::ScanEnd::kIdle);
    benchmark::DoNotOptimize(out);
  }
  Finish(state, port);
}
BENCHMARK(BM_Chain1Exchange)->ArgName("PortDelay")->Arg(0);

// PortDelay must really spend its loop count after every access: the time per access
// grows with it, and the optimiser has not removed the loop.
void BM_PortWriteWithDelay(benchmark::State& state) {
  NullPort port;
  if (!SelectCable(state, port, static_cast<int32_t>(state.range(0)))) return;
  for (auto _ : state) cable::PortWrite(*port.cable, kLpt1Data, 0x01);
  Finish(state, port);
}
BENCHMARK(BM_PortWriteWithDelay)->ArgName("PortDelay")->Arg(0)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
