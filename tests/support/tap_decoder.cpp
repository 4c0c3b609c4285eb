#include "support/tap_decoder.h"

#include <cstdio>

namespace vantrel::test {
namespace {

// ARM7TDMI JTAG instruction codes and chains, as the target knows them.
constexpr uint32_t kScanN = 0x2;
constexpr uint32_t kRestart = 0x4;
constexpr uint32_t kIntest = 0xC;
constexpr uint32_t kIdcode = 0xE;

uint64_t BitsValue(const std::vector<bool>& bits, int first, int count) {
  uint64_t value = 0;
  for (int i = 0; i < count && first + i < static_cast<int>(bits.size()); ++i) {
    if (bits[static_cast<std::size_t>(first + i)]) value |= uint64_t{1} << i;
  }
  return value;
}

std::string Hex8(uint64_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value & 0xFFFFFFFFu));
  return text;
}

class Decoder {
 public:
  explicit Decoder(TapState initial) : state_(initial) {}

  void Write(uint8_t value) {
    const bool tck = (value & kLineTck) != 0;
    if (tck && !tck_) RisingEdge((value & kLineTms) != 0, (value & kLineTdi) != 0);
    tck_ = tck;
  }
  // TDO is valid while TCK is low, before the edge that shifts.
  void Read(uint8_t value) {
    if (!tck_) tdo_ = (value & kStatusTdoInverted) == 0;
  }
  std::vector<TapOp> Take() { return std::move(ops_); }

 private:
  void RisingEdge(bool tms, bool tdi) {
    const TapState before = state_;
    if (before == TapState::kRunTestIdle && !ops_.empty()) ++ops_.back().idleClocks;
    if (before == TapState::kCaptureDr || before == TapState::kCaptureIr) shift_ = TapOp{};
    if (before == TapState::kShiftDr || before == TapState::kShiftIr) {
      shift_.tdi.push_back(tdi);
      shift_.tdo.push_back(tdo_);
      ++shift_.length;
    }
    state_ = NextTapState(before, tms);
    reset_run_ = tms ? reset_run_ : false;
    if (state_ == TapState::kUpdateDr || state_ == TapState::kUpdateIr) {
      shift_.kind = state_ == TapState::kUpdateDr ? TapOp::Kind::kDrScan : TapOp::Kind::kIrScan;
      ops_.push_back(shift_);
    }
    const bool fromUpdate = before == TapState::kUpdateDr || before == TapState::kUpdateIr;
    if ((fromUpdate || before == TapState::kTestLogicReset) && state_ == TapState::kRunTestIdle && !ops_.empty()) {
      ops_.back().toIdle = true;
    }
    // One reset per run of TMS-high edges that reaches Test-Logic-Reset.
    if (state_ == TapState::kTestLogicReset && !reset_run_) {
      ops_.push_back(TapOp{});
      reset_run_ = true;
    }
  }

  TapState state_;
  bool tck_ = false;
  bool tdo_ = false;
  bool reset_run_ = false;
  TapOp shift_;
  std::vector<TapOp> ops_;
};

// Follows the instruction register and the selected chain as the target would.
class Describer {
 public:
  std::vector<std::string> Run(const std::vector<TapOp>& ops) {
    for (const TapOp& op : ops) Describe(op);
    FlushPending();
    return std::move(lines_);
  }

 private:
  void Describe(const TapOp& op) {
    if (op.kind == TapOp::Kind::kReset) {
      FlushPending();
      ir_ = kIdcode;
      chain_ = 3;
      lines_.push_back(op.toIdle ? "reset to idle" : "reset");
    } else if (op.kind == TapOp::Kind::kIrScan) {
      FlushPending();
      DescribeIr(op);
    } else {
      DescribeDr(op);
    }
  }

  void DescribeIr(const TapOp& op) {
    ir_ = static_cast<uint32_t>(op.TdiValue(0, op.length));
    if (op.length != 4) {
      Add(op, "ir " + std::to_string(op.length) + " bits " + Hex8(ir_));
    } else if (ir_ == kScanN) {
      pending_scan_n_ = op.toIdle ? "ir scan_n +idle" : "ir scan_n";
    } else if (ir_ == kRestart) {
      lines_.push_back(op.toIdle ? "restart" : "restart no idle");
    } else if (ir_ == kIntest) {
      Add(op, "intest");
    } else if (ir_ == kIdcode) {
      Add(op, "ir idcode");
    } else {
      Add(op, "ir " + Hex8(ir_));
    }
  }

  void DescribeDr(const TapOp& op) {
    if (ir_ == kScanN && op.length == 4 && !pending_scan_n_.empty()) {
      pending_scan_n_.clear();
      chain_ = static_cast<int>(op.TdiValue(0, 4));
      Add(op, "chain " + std::to_string(chain_));
      return;
    }
    if (pending_read_ >= 0 && ir_ == kIntest && chain_ == 2 && op.length == 32) {
      const bool idle = op.toIdle || pending_read_idle_;
      lines_.push_back("ice[" + std::to_string(pending_read_) + "] read" + (idle ? " +idle" : ""));
      pending_read_ = -1;
      return;
    }
    FlushPending();
    if (ir_ == kIntest && chain_ == 1 && op.length == 33) {
      std::string line = "inject " + Hex8(ReversedWord(op));
      if (op.tdi[0]) line += " bp";
      lines_.push_back(op.toIdle ? line : line + " no idle");
    } else if (ir_ == kIntest && chain_ == 2 && op.length == 38 && op.tdi[37]) {
      Add(op, "ice[" + std::to_string(op.TdiValue(32, 5)) + "] <- " + Hex8(op.TdiValue(0, 32)));
    } else if (ir_ == kIntest && chain_ == 2 && op.length == 6 && !op.tdi[5]) {
      pending_read_ = static_cast<int>(op.TdiValue(0, 5));
      pending_read_idle_ = op.toIdle;
    } else if (ir_ == kIdcode && op.length == 32) {
      Add(op, "idcode");
    } else {
      Add(op, "dr " + std::to_string(op.length) + " bits");
    }
  }

  // A read is the 6-bit address scan and the 32-bit data scan that follows it.
  void FlushPending() {
    if (!pending_scan_n_.empty()) lines_.push_back(pending_scan_n_);
    pending_scan_n_.clear();
    if (pending_read_ >= 0) lines_.push_back("ice[" + std::to_string(pending_read_) + "] address only");
    pending_read_ = -1;
  }

  void Add(const TapOp& op, const std::string& line) { lines_.push_back(op.toIdle ? line + " +idle" : line); }

  static uint32_t ReversedWord(const TapOp& op) {
    uint32_t word = 0;
    for (int bit = 0; bit < 32; ++bit) {
      if (op.tdi[static_cast<std::size_t>(32 - bit)]) word |= 1u << bit;
    }
    return word;
  }

  uint32_t ir_ = kIdcode;
  int chain_ = 3;
  std::string pending_scan_n_;
  int pending_read_ = -1;
  bool pending_read_idle_ = false;
  std::vector<std::string> lines_;
};

std::string Hex(uint32_t value) { return Hex8(value); }

}  // namespace

uint64_t TapOp::TdiValue(int first, int count) const { return BitsValue(tdi, first, count); }
uint64_t TapOp::TdoValue(int first, int count) const { return BitsValue(tdo, first, count); }

std::vector<TapOp> DecodeTap(const std::vector<PortAccessRecord>& log, uint16_t dataPort, TapState initial) {
  Decoder decoder(initial);
  for (const PortAccessRecord& access : log) {
    if (access.write && access.port == dataPort) decoder.Write(access.value);
    if (!access.write && access.port == dataPort + 1) decoder.Read(access.value);
  }
  return decoder.Take();
}

std::vector<TapOp> DecodeTap(const RecordingPort& port, TapState initial) {
  return DecodeTap(port.Log(), port.DataPort(), initial);
}

std::vector<std::string> DescribeDebugOps(const std::vector<TapOp>& ops) { return Describer().Run(ops); }

// Chain-1 accesses are the 33-bit scans under INTEST after chain 1 was selected.
std::vector<Chain1Transfer> Chain1Transfers(const std::vector<TapOp>& ops) {
  std::vector<Chain1Transfer> transfers;
  uint32_t ir = kIdcode;
  uint64_t chain = 3;
  for (const TapOp& op : ops) {
    if (op.kind == TapOp::Kind::kReset) ir = kIdcode;
    if (op.kind == TapOp::Kind::kIrScan) ir = static_cast<uint32_t>(op.TdiValue(0, op.length));
    if (op.kind != TapOp::Kind::kDrScan) continue;
    if (ir == kScanN && op.length == 4) chain = op.TdiValue(0, 4);
    if (ir != kIntest || chain != 1 || op.length != 33) continue;
    uint32_t word = 0;
    uint32_t captured = 0;
    for (int bit = 0; bit < 32; ++bit) {
      if (op.tdi[static_cast<std::size_t>(32 - bit)]) word |= 1u << bit;
      if (op.tdo[static_cast<std::size_t>(32 - bit)]) captured |= 1u << bit;
    }
    transfers.push_back({word, op.tdi[0] ? 1 : 0, captured, op.toIdle});
  }
  return transfers;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string DebugOpsText(const RecordingPort& port) { return JoinLines(DescribeDebugOps(DecodeTap(port))); }

OpList& OpList::Reset(bool toIdle) { return Line(toIdle ? "reset to idle" : "reset"); }
OpList& OpList::Chain(int chain) { return Line("chain " + std::to_string(chain)); }
OpList& OpList::Intest() { return Line("intest"); }
OpList& OpList::Preamble() { return Chain(1).Intest(); }
OpList& OpList::Inject(uint32_t word, int breakpt) { return Line("inject " + Hex(word) + (breakpt != 0 ? " bp" : "")); }
OpList& OpList::Nop(int count) {
  for (int i = 0; i < count; ++i) Inject(0xE1A00000);  // MOV r0, r0
  return *this;
}
OpList& OpList::Restart() { return Line("restart"); }
OpList& OpList::IceWrite(int address, uint32_t value) {
  return Chain(2).Intest().Line("ice[" + std::to_string(address) + "] <- " + Hex(value));
}
OpList& OpList::IceRead(int address) { return Chain(2).Intest().Line("ice[" + std::to_string(address) + "] read"); }
OpList& OpList::IrIdcode() { return Line("ir idcode"); }
OpList& OpList::Idcode() { return Line("idcode"); }
OpList& OpList::Line(const std::string& line) {
  lines_.push_back(line);
  return *this;
}
OpList& OpList::Append(const OpList& other) {
  lines_.insert(lines_.end(), other.lines_.begin(), other.lines_.end());
  return *this;
}
std::string OpList::Text() const { return JoinLines(lines_); }

}  // namespace vantrel::test
