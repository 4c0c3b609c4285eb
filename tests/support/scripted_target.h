// A scripted stand-in for the ARM7TDMI behind the cable, for unit tests of the debug
// core: it follows every clock edge on a RecordingPort with its own TAP controller and
// answers on TDO only what a test scripts — the IDCODE, EmbeddedICE register reads and
// the words captured on scan chain 1. It does not execute instructions; behaviour
// belongs to the simulated board.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "support/recording_port.h"
#include "support/tap_state.h"

namespace vantrel::test {

class ScriptedTarget {
 public:
  // Installs itself as the port's write observer and status source.
  explicit ScriptedTarget(RecordingPort& port);
  ScriptedTarget(const ScriptedTarget&) = delete;
  ScriptedTarget& operator=(const ScriptedTarget&) = delete;

  void SetIdcode(uint32_t idcode) { idcode_ = idcode; }
  // Faults of the link: what Capture-IR loads (0001 on a sound TAP), and both power-sense
  // lines reading bad in every status byte.
  void SetIrCapture(uint32_t pattern) { ir_capture_ = pattern; }
  void SetPowerLost(bool lost) { power_lost_ = lost; }

  // EmbeddedICE registers: a register file (writes land in it; all 0 at start), and
  // per-address queues of values that the next reads return before the register file.
  void SetIceRegister(int address, uint32_t value) { ice_[address & 0x1F] = value; }
  uint32_t IceRegister(int address) const { return ice_[address & 0x1F]; }
  void QueueIceReads(int address, const std::vector<uint32_t>& values);
  const std::vector<std::pair<int, uint32_t>>& IceWrites() const { return ice_writes_; }
  // Reads the target latched (addresses), including the trailing read of register 0
  // that every 32-bit read scan leaves behind.
  const std::vector<int>& IceReads() const { return ice_reads_; }

  // Chain-1 captures: capture number k (0 for the first chain-1 access seen) returns
  // the word scripted for it; otherwise a store multiple (ARM STM, condition AL) drives
  // its registers onto the bus from the fourth access on, counting its own as the first,
  // with the words given by the store source (store number, word index); else 0.
  void SetChain1Capture(int captureNumber, uint32_t word) { chain1_script_[captureNumber] = word; }
  void SetStoreSource(std::function<uint32_t(int storeNumber, int wordIndex)> source) {
    store_source_ = std::move(source);
  }
  // With a CPSR set, the STMDA r0, {r0} three words after MRS r0, CPSR drives it (before
  // the store source is asked): the mode a status read finds.
  void SetCpsr(uint32_t cpsr) { cpsr_ = cpsr; }
  int Chain1Captures() const { return chain1_captures_; }

 private:
  void OnWrite(uint16_t port, uint8_t value);
  uint8_t OnStatusRead();
  void RisingEdge(bool tms, bool tdi);
  void CaptureDr();
  void UpdateDr();
  uint64_t& SelectedDr();
  int SelectedDrLength() const;
  uint32_t ReadIce(int address);
  uint32_t Chain1CaptureWord();
  bool StoresStatusRegister(int storeAccess) const;

  uint16_t data_port_;
  bool tck_ = false;
  TapState state_ = TapState::kTestLogicReset;
  uint32_t ir_ = 0xE;
  uint32_t ir_shift_ = 0;
  int chain_ = 3;
  uint64_t scan_n_ = 0;
  uint64_t idcode_shift_ = 0;
  uint64_t chain1_ = 0;
  uint64_t chain2_ = 0;
  uint64_t bypass_ = 0;
  uint32_t idcode_ = 0x3F0F0F0F;
  uint32_t ir_capture_ = 0x1;  // 0001
  bool power_lost_ = false;
  uint32_t read_latch_ = 0;
  uint32_t ice_[32] = {};
  std::map<int, std::deque<uint32_t>> ice_queues_;
  std::vector<std::pair<int, uint32_t>> ice_writes_;
  std::vector<int> ice_reads_;
  std::map<int, uint32_t> chain1_script_;
  std::function<uint32_t(int, int)> store_source_;
  std::optional<uint32_t> cpsr_;
  std::vector<uint32_t> injected_;  // chain-1 words in order of their update
  int chain1_captures_ = 0;
};

}  // namespace vantrel::test
