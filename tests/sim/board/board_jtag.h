// A small JTAG master for the board's own tests: it wiggles the board's parallel port
// directly, written from the IEEE 1149.1 state diagram and the ARM7TDMI chain layouts,
// and shares nothing with the library's cable layer or with the board's TAP code.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace vsim::test {

inline constexpr uint32_t kNop = 0xE1A00000;   // MOV r0, r0
inline constexpr uint16_t kThumbNop = 0x46C0;  // MOV r8, r8
inline constexpr uint8_t kScanN = 0x2, kRestart = 0x4, kIntest = 0xC, kIdcode = 0xE, kBypass = 0xF;

class BoardJtag {
 public:
  explicit BoardJtag(Board& board) : board_(board), base_(board.Config().portBase) {}

  // One TCK cycle: lines set with TCK low, TDO sampled, TCK raised.
  bool Clock(bool tms, bool tdi) {
    uint8_t lines = static_cast<uint8_t>(0x01 | (tms ? 0x02 : 0) | (tdi ? 0x08 : 0));
    board_.PortWrite(base_, lines);
    bool tdo = (board_.PortRead(static_cast<uint16_t>(base_ + 1)) & 0x80) == 0;
    board_.PortWrite(base_, static_cast<uint8_t>(lines | 0x04));
    return tdo;
  }
  void ResetToIdle() {
    for (int i = 0; i < 5; ++i) Clock(true, true);
    Clock(false, false);
  }
  // Both scans start in Run-Test/Idle, Update-IR or Update-DR and end in Update or,
  // with toIdle, in Run-Test/Idle.
  uint32_t ScanIR(uint8_t instruction, bool toIdle = false) {
    Clock(true, false);
    Clock(true, false);
    Clock(false, false);
    Clock(false, false);
    uint32_t captured = static_cast<uint32_t>(Shift(4, instruction));
    Clock(true, false);
    if (toIdle) Clock(false, false);
    return captured;
  }
  uint64_t ScanDR(int bits, uint64_t in, bool toIdle = false) {
    Clock(true, false);
    Clock(false, false);
    Clock(false, false);
    uint64_t captured = Shift(bits, in);
    Clock(true, false);
    if (toIdle) Clock(false, false);
    return captured;
  }
  void SelectChain(int chain) {
    ScanIR(kScanN);
    ScanDR(4, static_cast<uint64_t>(chain));
    ScanIR(kIntest);
  }
  // One chain-1 access: BREAKPT shifted first, then D31 down to D0; ends in
  // Run-Test/Idle, whose next edge is the debug clock. Returns the captured D31-D0.
  uint32_t Chain1(uint32_t word, bool breakpt = false, bool* capturedBreakpt = nullptr) {
    uint64_t in = breakpt ? 1u : 0u;
    for (int i = 0; i < 32; ++i) in |= uint64_t{(word >> (31 - i)) & 1u} << (i + 1);
    uint64_t out = ScanDR(33, in, true);
    if (capturedBreakpt != nullptr) *capturedBreakpt = (out & 1u) != 0;
    uint32_t captured = 0;
    for (int i = 0; i < 32; ++i) captured |= static_cast<uint32_t>((out >> (i + 1)) & 1u) << (31 - i);
    return captured;
  }
  uint32_t Thumb(uint16_t half, bool breakpt = false) { return Chain1(half * 0x00010001u, breakpt); }
  // EmbeddedICE register access the way a debugger does it: a 38-bit write, and a
  // 6-bit address scan followed by a 32-bit data scan for a read.
  void IceWrite(int address, uint32_t value) {
    SelectChain(2);
    ScanDR(38, uint64_t{value} | (uint64_t(address) << 32) | (uint64_t{1} << 37));
  }
  uint32_t IceRead(int address) {
    SelectChain(2);
    ScanDR(6, static_cast<uint64_t>(address));
    return static_cast<uint32_t>(ScanDR(32, 0));
  }
  void Restart() { ScanIR(kRestart, true); }

 private:
  uint64_t Shift(int bits, uint64_t in) {
    uint64_t captured = 0;
    for (int i = 0; i < bits; ++i) {
      bool last = i == bits - 1;
      if (Clock(last, ((in >> i) & 1u) != 0)) captured |= uint64_t{1} << i;
    }
    return captured;
  }

  Board& board_;
  uint16_t base_;
};

}  // namespace vsim::test
