// CPU time of one 1 KiB ArmGetData and one 14-word ArmPutData of the debug core on the
// simulated board, halted in debug state, with the port accesses each one makes. The
// access counts are fixed by the instruction sequences (about 96,600 for the read, 3,700
// for the write); the time per access shows whether the debug core adds cost above the
// TAP driver and the board. An operation that fails ends the benchmark with an error:
// a count taken from a failed transfer means nothing.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>

#include "arm7/arm7_state.h"
#include "arm7/debug_state.h"
#include "arm7/memory_access.h"
#include "board/board.h"
#include "cable/cable.h"
#include "cable/cable_registry.h"
#include "cable/parallel_port_cable.h"
#include "cable/port_io.h"
#include "cable/tap.h"

namespace {

using namespace vantrel;

constexpr uint32_t kArea = 0x00008000;

// What the debug core keeps between the benchmarks' calls.
arm7::Arm7State& Core() {
  static const std::unique_ptr<arm7::Arm7State> core = std::make_unique<arm7::Arm7State>();
  return *core;
}

// The board's core halted in debug state through the debug core's own entry; nullptr
// when that failed.
vsim::Board* HaltedBoard() {
  static std::unique_ptr<vsim::Board> board;
  static bool tried = false;
  if (!tried) {
    tried = true;
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;  // the counts do not depend on the host's speed
    auto candidate = std::make_unique<vsim::Board>(config);
    const VantrelPortIo io = candidate->PortIo();
    cable::PortCableState& port = Core().cables.ParallelPort().State();  // the one the core drives
    cable::UsePortIo(port, &io);
    if (cable::OpenCable(port, 0) == kOk && arm7::CheckTargetId(Core()) == 0) {
      cable::TapReset(port, cable::TapResetEnd::kRunTestIdle);
      if (arm7::ArmEnterDebug(Core()) == 0) board = std::move(candidate);
    }
  }
  return board.get();
}

void ReportAccesses(benchmark::State& state, uint64_t accesses) {
  const double total = static_cast<double>(accesses);
  state.counters["port_accesses"] = benchmark::Counter(total, benchmark::Counter::kAvgIterations);
  // Comparable with the TAP driver's own figure for a chain-1 exchange.
  state.counters["time_per_access"] =
      benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ArmGetData1KiB(benchmark::State& state) {
  vsim::Board* board = HaltedBoard();
  if (board == nullptr) {
    state.SkipWithError("the board's core did not halt");
    return;
  }
  std::array<uint8_t, 1024> destination{};
  board->ResetCounters();
  for (auto _ : state) {
    if (arm7::ArmGetData(Core(), kArea, destination.data(), 256) != kOk) {
      state.SkipWithError("the read failed");
      return;
    }
    benchmark::ClobberMemory();
  }
  ReportAccesses(state, board->Counters().portAccesses);
}
BENCHMARK(BM_ArmGetData1KiB);

void BM_ArmPutData14Words(benchmark::State& state) {
  vsim::Board* board = HaltedBoard();
  if (board == nullptr) {
    state.SkipWithError("the board's core did not halt");
    return;
  }
  std::array<uint8_t, 56> source{};
  board->ResetCounters();
  for (auto _ : state) {
    if (arm7::ArmPutData(Core(), kArea, 4, 14, source.data()) != kOk) {
      state.SkipWithError("the write failed");
      return;
    }
  }
  ReportAccesses(state, board->Counters().portAccesses);
}
BENCHMARK(BM_ArmPutData14Words);

}  // namespace

BENCHMARK_MAIN();
