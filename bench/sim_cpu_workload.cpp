// The simulated CPU running a compiled program (ARM and Thumb, libgcc division, SWI
// and undefined-instruction handlers) from reset to its end loop.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include <benchmark/benchmark.h>

#include "cpu/arm_cpu.h"
#include "cpu/ram_bus.h"

namespace {

constexpr uint32_t kRamSize = 0x40000;
constexpr uint64_t kStepLimit = 20'000'000;

std::vector<uint8_t> ReadImage() {
  std::ifstream file(SIM_CPU_WORKLOAD_BIN, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Steps from reset until the program branches to itself; returns the steps taken.
uint64_t RunToEndLoop(vsim::RamBus& bus) {
  vsim::ArmCpu cpu;
  for (uint64_t steps = 1; steps <= kStepLimit; ++steps) {
    const uint32_t pc = cpu.NextPc();
    const vsim::ExecResult result = cpu.Step(bus);
    if (result.pcWritten && cpu.NextPc() == pc) return steps;
  }
  return 0;
}

void BM_SimCpuWorkload(benchmark::State& state) {
  const std::vector<uint8_t> image = ReadImage();
  vsim::RamBus bus(0, kRamSize);
  if (image.empty() || !bus.LoadImage(0, image)) {
    state.SkipWithError("workload image missing: " SIM_CPU_WORKLOAD_BIN);
    return;
  }
  uint64_t instructions = 0;
  for (auto _ : state) {
    if (!bus.LoadImage(0, image)) return;  // fresh data for every run
    const uint64_t steps = RunToEndLoop(bus);
    if (steps == 0) {
      state.SkipWithError("the workload did not reach its end loop");
      return;
    }
    instructions += steps;
  }
  state.SetItemsProcessed(static_cast<int64_t>(instructions));  // items/s = instructions per second
  state.counters["instructions_per_run"] =
      benchmark::Counter(static_cast<double>(instructions) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SimCpuWorkload);

}  // namespace
BENCHMARK_MAIN();
