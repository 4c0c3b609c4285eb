// The EmbeddedICE logic: debug control and status, the comms channel and the two
// watchpoint units with their comparators. The debug status is built from the core's
// signals, which the caller passes in.
#pragma once

#include <cstdint>

namespace vsim {

// EmbeddedICE register addresses (5 bits); a watchpoint unit's six registers follow
// its base in the order of the offsets below.
inline constexpr int kIceDebugControl = 0;
inline constexpr int kIceDebugStatus = 1;
inline constexpr int kIceCommsControl = 4;
inline constexpr int kIceCommsData = 5;
inline constexpr int kIceWatchpoint0 = 8;
inline constexpr int kIceWatchpoint1 = 16;
inline constexpr int kWpAddressValue = 0;
inline constexpr int kWpAddressMask = 1;
inline constexpr int kWpDataValue = 2;
inline constexpr int kWpDataMask = 3;
inline constexpr int kWpControlValue = 4;
inline constexpr int kWpControlMask = 5;

// Debug control bits.
inline constexpr uint32_t kCtrlDbgack = 0x1;
inline constexpr uint32_t kCtrlDbgrq = 0x2;
inline constexpr uint32_t kCtrlIntdis = 0x4;
// Debug status bits.
inline constexpr uint32_t kStatusDbgack = 0x01;
inline constexpr uint32_t kStatusDbgrq = 0x02;
inline constexpr uint32_t kStatusIfen = 0x04;
inline constexpr uint32_t kStatusNmreq = 0x08;
inline constexpr uint32_t kStatusTbit = 0x10;
// Watchpoint control bits.
inline constexpr uint32_t kWpNrw = 0x01;
inline constexpr uint32_t kWpMasShift = 1;
inline constexpr uint32_t kWpNopc = 0x08;
inline constexpr uint32_t kWpNtrans = 0x10;
inline constexpr uint32_t kWpChain = 0x40;
inline constexpr uint32_t kWpRange = 0x80;
inline constexpr uint32_t kWpEnable = 0x100;
inline constexpr uint32_t kCommsVersion = 0x10000000;

// The core's side of the debug status.
struct CoreSignals {
  bool inDebug = false;
  bool memoryIdle = false;  // nMREQ: debug state or held in reset
  bool thumb = false;
};

// One system-speed memory cycle as the comparators see it.
struct BusCycle {
  uint32_t address = 0;
  uint32_t data = 0;      // the data bus; sub-word values repeated in every lane
  uint32_t laneMask = 0;  // the lanes that carry valid data
  uint32_t control = 0;   // nRW, MAS, nOPC, nTRANS (EXTERN, CHAIN and RANGE are added here)
};

class EmbeddedIce {
 public:
  EmbeddedIce() { PowerUp(); }
  void PowerUp();

  // Debugger side, as a chain-2 update does it. Read has the side effects of a read.
  void Write(int address, uint32_t value);
  uint32_t Read(int address, const CoreSignals& core);
  // For a test reading the registers: no read side effects.
  uint32_t Peek(int address, const CoreSignals& core) const;

  // The synchronising latch: DBGRQ reaches the core only on a TCK edge in Run-Test/Idle.
  void SyncDebugRequest() { dbgrqi_ = (control_ & kCtrlDbgrq) != 0; }
  bool DebugRequestToCore() const { return dbgrqi_; }
  bool InterruptsDisabled() const { return (control_ & kCtrlIntdis) != 0; }

  // True when an enabled unit matches the cycle.
  bool Matches(const BusCycle& cycle);
  bool AnyUnitEnabled() const { return ((wp_[0][kWpControlValue] | wp_[1][kWpControlValue]) & kWpEnable) != 0; }
  void ClearChainLatch() { chainLatch_ = false; }

  // Core side of the comms channel (MCR/MRC p14).
  void CoreWriteComms(uint32_t value);
  uint32_t CoreReadComms();
  uint32_t CommsControl() const;

 private:
  bool Compare(int unit, const BusCycle& cycle, uint32_t control) const;

  uint32_t control_ = 0;
  bool dbgrqi_ = false;
  uint32_t wp_[2][6] = {};
  uint32_t toDebugger_ = 0;  // written by the core (W)
  uint32_t toCore_ = 0;      // written by the debugger (R)
  bool wFull_ = false;
  bool rFull_ = false;
  bool chainLatch_ = false;
};

}  // namespace vsim
