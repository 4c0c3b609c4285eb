// Board throughput: simulated port accesses through the VantrelPortIo callbacks, as the
// library makes them while the core is halted (chain-1 exchanges, the bulk of a
// download), and system-speed instructions of ARM and Thumb loops.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "board/board.h"

namespace {

constexpr uint16_t kData = 0x378;
constexpr uint16_t kStatus = 0x379;
constexpr uint32_t kNop = 0xE1A00000;

// The cable's TCK cycle as the driver makes it: lines, TDO sample, rising edge.
struct PortDriver {
  VantrelPortIo io;
  bool Clock(bool tms, bool tdi, bool fallingEdge) {
    auto lines = static_cast<unsigned char>(0x01 | (tms ? 0x02 : 0) | (tdi ? 0x08 : 0));
    io.write(io.context, kData, lines);
    bool tdo = (io.read(io.context, kStatus) & 0x80) == 0;
    io.write(io.context, kData, static_cast<unsigned char>(lines | 0x04));
    if (fallingEdge) io.write(io.context, kData, lines);
    return tdo;
  }
  void Shift(int bits, uint64_t in) {
    for (int i = 0; i < bits; ++i) Clock(i == bits - 1, ((in >> i) & 1u) != 0, i == bits - 1);
  }
  void ScanIR(uint8_t ir) {
    Clock(true, false, true), Clock(true, false, true), Clock(false, false, true), Clock(false, false, true);
    Shift(4, ir);
    Clock(true, false, true);
  }
  void ScanDR(int bits, uint64_t in, bool toIdle) {
    Clock(true, false, true), Clock(false, false, true), Clock(false, false, true);
    Shift(bits, in);
    Clock(true, false, true);
    if (toIdle) Clock(false, false, true);
  }
};

vsim::BoardConfig Quiet() {
  vsim::BoardConfig c;
  c.freeRunInstructionsPerMs = 0;
  return c;
}

void HaltAt(vsim::Board& board, uint32_t address) {
  for (uint32_t a = 0; a < 0x4000; a += 4) board.WriteWord(a, kNop);
  board.SetIceRegister(8, address);
  board.SetIceRegister(9, 3);
  board.SetIceRegister(11, 0xFFFFFFFF);
  board.SetIceRegister(13, 0xF7);
  board.SetIceRegister(12, 0x100);
  board.SetReg(15, 0);
  board.RunInstructions(10000);
  board.SetIceRegister(12, 0);
}

// Chain-1 NOPs into a halted core: 120 port accesses and one debug clock each.
void BM_PortAccessesChain1(benchmark::State& state) {
  vsim::Board board;  // the default board, free running between accesses included
  HaltAt(board, 0x1000);
  PortDriver port{board.PortIo()};
  for (int i = 0; i < 5; ++i) port.Clock(true, true, true);
  port.Clock(false, true, true);
  port.ScanIR(0x2);
  port.ScanDR(4, 1, false);
  port.ScanIR(0xC);
  uint64_t nop = 0;
  for (int i = 0; i < 32; ++i) nop |= uint64_t{(kNop >> (31 - i)) & 1u} << (i + 1);
  board.ResetCounters();
  for (auto _ : state) port.ScanDR(33, nop, true);
  vsim::BoardCounters c = board.Counters();
  state.counters["port_accesses"] =
      benchmark::Counter(static_cast<double>(c.portAccesses), benchmark::Counter::kIsRate);
  state.counters["debug_clocks"] = benchmark::Counter(static_cast<double>(c.debugClocks), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PortAccessesChain1);

// A tight loop at system speed: ARM or Thumb.
void BM_SystemSpeedInstructions(benchmark::State& state) {
  vsim::Board board(Quiet());
  bool thumb = state.range(0) != 0;
  if (thumb) {
    board.WriteWord(0x100, 0x3101'3001);  // ADDS r0, #1; ADDS r1, #1
    board.WriteWord(0x104, 0xE7FB'4042);  // EORS r2, r0; B 0x100
    board.SetCpsr(board.Cpsr() | 0x20);
  } else {
    board.WriteWord(0x100, 0xE2800001);  // ADD r0, r0, #1
    board.WriteWord(0x104, 0xE5821000);  // STR r1, [r2]
    board.WriteWord(0x108, 0xE5923000);  // LDR r3, [r2]
    board.WriteWord(0x10C, 0xEAFFFFFB);  // B 0x100
    board.SetReg(2, 0x2000);
  }
  board.SetReg(15, 0x100);
  board.ResetCounters();
  for (auto _ : state) board.RunInstructions(10000);
  state.counters["instructions"] =
      benchmark::Counter(static_cast<double>(board.Counters().instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SystemSpeedInstructions)->Arg(0)->Arg(1)->ArgNames({"thumb"});

}  // namespace

BENCHMARK_MAIN();
