// The board's TAP: controller, 4-bit instruction register and the data registers
// behind it (IDCODE, BYPASS, the SCAN_N chain select, scan chains 1 and 2). It knows
// nothing of the core: what chains 1 and 2 capture and what their updates do, and
// what a clock in Run-Test/Idle means, is left to the hooks.
#pragma once

#include <cstdint>

#include "board/tap_state.h"

namespace vsim {

class TapHooks {
 public:
  virtual ~TapHooks() = default;
  virtual uint64_t CaptureChain1() = 0;  // all 33 cells
  virtual void UpdateChain1(uint64_t cells) = 0;
  virtual uint32_t CaptureChain2Data() = 0;  // cells 0-31; 32-37 keep their bits
  virtual void UpdateChain2(uint64_t cells) = 0;
  // A rising edge taken in Run-Test/Idle; chain1Intest: INTEST with chain 1 selected.
  virtual void IdleEdge(bool chain1Intest) = 0;
  // The controller has just entered Run-Test/Idle with RESTART in the IR.
  virtual void RestartEntered() = 0;
};

class JtagTap {
 public:
  JtagTap(uint32_t idcode, TapHooks& hooks);

  // One rising TCK edge with these TMS and TDI levels.
  void Clock(bool tms, bool tdi);
  // TDO as it stands while TCK is low: bit 0 of the register being shifted.
  bool Tdo() const { return tdo_; }
  // TRST: straight to Test-Logic-Reset.
  void Reset();

  TapState State() const { return state_; }
  uint8_t Instruction() const { return ir_; }
  int SelectedChain() const { return chain_; }

 private:
  enum class Dr : uint8_t { kBypass, kIdcode, kScanN, kChain1, kChain2 };
  struct ShiftRegister {
    uint64_t cells = 0;
    int length = 1;
  };

  Dr SelectedDr() const;
  ShiftRegister& Register(Dr dr);
  void Shift(ShiftRegister& reg, bool tdi);
  void Enter(TapState next, TapState previous);
  void CaptureDr();
  void UpdateDr();
  void RefreshTdo();

  TapHooks& hooks_;
  uint32_t idcode_;
  TapState state_ = TapState::kTestLogicReset;
  uint8_t ir_;
  int chain_;
  ShiftRegister irShift_{0, 4};
  ShiftRegister bypass_{0, 1};
  ShiftRegister idcodeReg_{0, 32};
  ShiftRegister scanN_{0, 4};
  ShiftRegister chain1_{0, 33};
  ShiftRegister chain2_{0, 38};
  bool tdo_ = false;
};

}  // namespace vsim
