// Reads, writes and downloads of target memory over the simulated board, through the
// same operations the host's commands use, in the exact mode (argument 0) and the fast
// one (argument 1). Each benchmark reports the port accesses per KiB it made
// ("accesses_per_KiB"; for the exact mode beside the number the instruction sequences
// imply, "implied_per_KiB", the abort check at the end of each transfer included), the
// port accesses and TCK cycles per 32-bit word, the KiB/s they allow when a port access
// takes 1 us ("KiBps_at_1us"), and the CPU time per KiB. The board runs only on TCK
// edges (no free running), so the counts are exact.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "arm7/arm7_state.h"
#include "arm7/arm7tdmi_core.h"
#include "board/board.h"
#include "cable/parallel_port_cable.h"
#include "cable/port_cable_state.h"
#include "cable/port_config.h"
#include "cable/port_io.h"
#include "commands/transfer_jobs.h"
#include "target/core_status.h"
#include "target/memory_transfer.h"
#include "target/target_control.h"
#include "target/target_layer_state.h"
#include "target/target_state.h"

namespace {

using namespace vantrel;

// Port accesses of the TAP driver's scans (n bits; +4 when the scan ends in Run-Test/Idle).
constexpr double ScanIr(bool toIdle) { return 3 * 4 + 21 + (toIdle ? 4 : 0); }
constexpr double ScanDr(int bits, bool toIdle) { return 3.0 * bits + 17 + (toIdle ? 4 : 0); }

constexpr double kChain1Access = ScanDr(33, true);
constexpr double kSelectChain = ScanIr(false) + ScanDr(4, false);
constexpr double kPreamble = kSelectChain + ScanIr(false);  // chain 1, INTEST
constexpr double kStatusRead = kSelectChain + ScanIr(false) + ScanDr(6, false) + ScanDr(32, false);
constexpr double kRestart = ScanIr(true);
// After a RESTART: the halted poll (one status read when the core is back at once) and
// the chain-1 preamble again.
constexpr double kSystemSpeedAccess = kRestart + kStatusRead + kPreamble;

// ArmGetData: 22 chain-1 words and one system-speed load per block of 8 words (32 bytes).
constexpr double kReadPerKiB = (22 * kChain1Access + kSystemSpeedAccess) * (1024.0 / 32);
// ArmPutData: preamble, 14 + 13 chain-1 words and one system-speed store per 56 bytes.
constexpr double kWritePerKiB = (kPreamble + 27 * kChain1Access + kSystemSpeedAccess) * (1024.0 / 56);

constexpr uint32_t kArea = 0x10000;
constexpr int32_t kBytes = 64 * 1024;

// Each transfer ends with one CPSR read that tells whether an access aborted: the
// preamble and 19 chain-1 words, whatever the length (spread here over 64 KiB).
constexpr double kAbortCheck = kPreamble + 19 * kChain1Access;
constexpr double kAbortCheckPerKiB = kAbortCheck / (kBytes / 1024.0);

// Target control's state for the whole program, as a host's session holds it.
target::TargetLayerState& Target() {
  static target::TargetLayerState state;
  return state;
}

// The parallel-port cable the debug core drives.
cable::PortCableState& Port() {
  return static_cast<arm7::Arm7tdmiCore&>(Target().Core()).State().cables.ParallelPort().State();
}

vsim::Board& AttachedBoard() {
  static std::unique_ptr<vsim::Board> board;
  if (board == nullptr) {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    board = std::make_unique<vsim::Board>(config);
    const VantrelPortIo io = board->PortIo();
    cable::UsePortIo(Port(), &io);
    if (target::OpenEmulator(Target(), "lpt", "lpt1") != kOk || target::ConnectTarget(Target()) != kOk) std::abort();
  }
  return *board;
}

constexpr double kWordsPerKiB = 1024.0 / 4;
constexpr double kAccessesPerSecond = 1e6;  // 1 us per port access

// Argument 0: the exact sequences; 1: the fast ones with no work area, so through the
// debug bus; 2: the fast ones with a work area above the transferred words, so through
// the comms loop (and a verify by the core's checksum); 3: as 2, with a core that runs
// 1000 instructions a TCK instead of the board's default 4, far ahead of the cable as a
// real core is.
void UseMode(const benchmark::State& state) {
  Port().config.workArea.reset();  // the previous mode's
  cable::ApplyPortConfigLine(Port(), state.range(0) == 0 ? "transfer=exact\n" : "transfer=fast\n");
  if (state.range(0) >= 2) cable::ApplyPortConfigLine(Port(), "workarea=3FF00,100\n");
  AttachedBoard().SetInstructionsPerTck(state.range(0) == 3 ? 1000 : 4);
}

void Report(benchmark::State& state, const vsim::BoardCounters& counters, double impliedPerKiB) {
  const double kib = static_cast<double>(state.iterations()) * kBytes / 1024.0;
  const double accessesPerKiB = static_cast<double>(counters.portAccesses) / kib;
  state.counters["accesses_per_KiB"] = accessesPerKiB;
  if (state.range(0) == 0) state.counters["implied_per_KiB"] = impliedPerKiB;
  state.counters["accesses_per_word"] = accessesPerKiB / kWordsPerKiB;
  state.counters["tck_per_word"] = static_cast<double>(counters.tckCycles) / kib / kWordsPerKiB;
  state.counters["KiBps_at_1us"] = kAccessesPerSecond / accessesPerKiB;
  // Rates are taken over CPU time: inverted, the CPU seconds per KiB.
  state.counters["cpu_time_per_KiB"] =
      benchmark::Counter(kib, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Read64KiB(benchmark::State& state) {
  vsim::Board& board = AttachedBoard();
  UseMode(state);
  std::vector<uint8_t> buffer(kBytes);
  board.ResetCounters();
  for (auto _ : state) {
    target::ResetTransferProgress(Target());
    if (target::FetchTargetMemory(Target(), kArea, kBytes, buffer.data()) != kOk) state.SkipWithError("read failed");
  }
  Report(state, board.Counters(), kReadPerKiB + kAbortCheckPerKiB);
}
BENCHMARK(BM_Read64KiB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_Write64KiB(benchmark::State& state) {
  vsim::Board& board = AttachedBoard();
  UseMode(state);
  const std::vector<uint8_t> data(kBytes, 0x5A);
  board.ResetCounters();
  for (auto _ : state) {
    target::ResetTransferProgress(Target());
    if (target::StoreTargetMemory(Target(), kArea, kBytes, data.data(), 4) != kOk) state.SkipWithError("write failed");
  }
  Report(state, board.Counters(), kWritePerKiB + kAbortCheckPerKiB);
}
BENCHMARK(BM_Write64KiB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The download with verify: the write, the verify (the read-back; with a work area the
// core's checksum, whose polls depend on the core's speed), and a fixed cost for the kept
// registers and the PC that the per-KiB figure spreads over the image.
void BM_Download64KiBWithVerify(benchmark::State& state) {
  vsim::Board& board = AttachedBoard();
  UseMode(state);
  const std::vector<uint8_t> image(kBytes, 0xA5);
  board.ResetCounters();
  for (auto _ : state) {
    if (commands::DownloadImage(Target(), kArea, kArea, image.data(), kBytes, commands::Verification::kCompare) != kOk)
      state.SkipWithError("download failed");
  }
  Report(state, board.Counters(), kWritePerKiB + kReadPerKiB + 2 * kAbortCheckPerKiB);
}
BENCHMARK(BM_Download64KiBWithVerify)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
