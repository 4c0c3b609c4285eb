// CPU time of one 1 KiB ArmGetData and one 14-word ArmPutData over a port that only
// counts its accesses. The access counts are fixed by the instruction sequences; the
// time per access shows whether the debug core adds cost above the TAP driver.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>

#include "arm7/memory_access.h"
#include "cable/cable.h"
#include "cable/port_io.h"
#include "cable/tap.h"

namespace {

using namespace vantrel;

// Reads of the status port give 0x00: TDO 1 and both power lines good, so every debug
// status read shows a halted core and the halted poll ends at its first read.
struct CountingPort {
  uint64_t accesses = 0;
  uint8_t data = 0;

  static int Acquire(void*) { return 0; }
  static unsigned char Read(void* context, unsigned short port) {
    auto* self = static_cast<CountingPort*>(context);
    ++self->accesses;
    return port == 0x378 ? self->data : 0x00;
  }
  static void Write(void* context, unsigned short port, unsigned char value) {
    auto* self = static_cast<CountingPort*>(context);
    ++self->accesses;
    if (port == 0x378) self->data = value;
  }
};

CountingPort& AttachedPort() {
  static CountingPort port;
  static const bool attached = [] {
    const VantrelPortIo io{&port, &CountingPort::Acquire, &CountingPort::Read, &CountingPort::Write};
    cable::UsePortIo(&io);
    if (cable::OpenCable(0) != kOk) std::abort();
    cable::TapReset(1);
    return true;
  }();
  (void)attached;
  return port;
}

void ReportAccesses(benchmark::State& state, uint64_t accesses) {
  const double total = static_cast<double>(accesses);
  state.counters["port_accesses"] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
  // Comparable with the TAP driver's own figure for a chain-1 exchange.
  state.counters["time_per_access"] =
      benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ArmGetData1KiB(benchmark::State& state) {
  CountingPort& port = AttachedPort();
  std::array<uint8_t, 1024> destination{};
  const uint64_t before = port.accesses;
  for (auto _ : state) {
    benchmark::DoNotOptimize(arm7::ArmGetData(0x00008000, destination.data(), 256));
    benchmark::ClobberMemory();
  }
  ReportAccesses(state, port.accesses - before);
}
BENCHMARK(BM_ArmGetData1KiB);

void BM_ArmPutData14Words(benchmark::State& state) {
  CountingPort& port = AttachedPort();
  std::array<uint8_t, 56> source{};
  const uint64_t before = port.accesses;
  for (auto _ : state) benchmark::DoNotOptimize(arm7::ArmPutData(0x00008000, 4, 14, source.data()));
  ReportAccesses(state, port.accesses - before);
}
BENCHMARK(BM_ArmPutData14Words);

}  // namespace

BENCHMARK_MAIN();
