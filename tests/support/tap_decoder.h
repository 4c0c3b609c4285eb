// Turns a recorded port trace back into TAP operations, and those into the debug-core
// actions they stand for, so that tests read as instruction lists:
//
//   OpList().Preamble().Inject(0xE24FF010 /* SUB pc, pc, #16 */).Nop().Nop() ...
//
// compared with DescribeDebugOps(DecodeTap(port)) line by line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/recording_port.h"
#include "support/tap_state.h"

namespace vantrel::test {

struct TapOp {
  enum class Kind { kReset, kIrScan, kDrScan };
  Kind kind = Kind::kReset;
  int length = 0;         // bits shifted
  std::vector<bool> tdi;  // bit 0 shifted first
  std::vector<bool> tdo;  // TDO as sampled before each shifting edge
  bool toIdle = false;    // the next edge after Update (or reset) went to Run-Test/Idle
  int idleClocks = 0;     // rising edges taken in Run-Test/Idle after this operation

  // Bits first..first+count-1 of tdi or tdo as a number, bit `first` lowest.
  uint64_t TdiValue(int first = 0, int count = 64) const;
  uint64_t TdoValue(int first = 0, int count = 64) const;
};

// Decodes the data-port writes (bit 1 TMS, bit 3 TDI, bit 2 TCK; a 0->1 change of TCK is
// the rising edge) and status-port reads (bit 7 inverted = TDO) of a log.
std::vector<TapOp> DecodeTap(const std::vector<PortAccessRecord>& log, uint16_t dataPort,
                             TapState initial = TapState::kRunTestIdle);
std::vector<TapOp> DecodeTap(const RecordingPort& port, TapState initial = TapState::kRunTestIdle);

// One chain-1 access: what was shifted in, and the data bus captured by it.
struct Chain1Transfer {
  uint32_t word;
  int breakpt;
  uint32_t captured;
  bool toIdle;
};

// The debug-core meaning of the operations, one line each, following the instruction
// register and the chain selection as the target would:
//   "reset" / "reset to idle", "chain N", "intest", "restart", "ir idcode", "idcode",
//   "inject XXXXXXXX" [" bp"], "ice[N] <- XXXXXXXX", "ice[N] read",
// with " no idle" on a chain-1 access or RESTART that does not end in Run-Test/Idle and
// " +idle" on any other scan that does.
std::vector<std::string> DescribeDebugOps(const std::vector<TapOp>& ops);
std::vector<Chain1Transfer> Chain1Transfers(const std::vector<TapOp>& ops);

// The whole description as one text, one operation per line (gtest shows a line diff).
std::string DebugOpsText(const RecordingPort& port);

// The expected side, built in the same words.
class OpList {
 public:
  OpList& Reset(bool toIdle);
  OpList& Chain(int chain);
  OpList& Intest();
  OpList& Preamble();  // chain 1, then INTEST
  OpList& Inject(uint32_t word, int breakpt = 0);
  OpList& Nop(int count = 1);
  OpList& Restart();
  // Each EmbeddedICE access selects chain 2 and loads INTEST again: three lines.
  OpList& IceWrite(int address, uint32_t value);
  OpList& IceRead(int address);
  OpList& IrIdcode();
  OpList& Idcode();
  OpList& Line(const std::string& line);
  OpList& Append(const OpList& other);

  const std::vector<std::string>& Lines() const { return lines_; }
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace vantrel::test
