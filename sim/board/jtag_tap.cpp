#include "board/jtag_tap.h"

#include "board/scan_chains.h"

namespace vsim {

JtagTap::JtagTap(uint32_t idcode, TapHooks& hooks)
    : hooks_(hooks), idcode_(idcode), ir_(kIrIdcode), chain_(kChainAfterReset) {}

void JtagTap::Reset() {
  state_ = TapState::kTestLogicReset;
  ir_ = kIrIdcode;
  chain_ = kChainAfterReset;
  RefreshTdo();
}

JtagTap::Dr JtagTap::SelectedDr() const {
  switch (ir_) {
    case kIrIdcode: return Dr::kIdcode;
    case kIrScanN: return Dr::kScanN;
    case kIrIntest:
      if (chain_ == 1) return Dr::kChain1;
      if (chain_ == 2) return Dr::kChain2;
      return Dr::kBypass;         // any other chain: one cell that captures 0
    default: return Dr::kBypass;  // BYPASS, RESTART, EXTEST and every unused code
  }
}

JtagTap::ShiftRegister& JtagTap::Register(Dr dr) {
  switch (dr) {
    case Dr::kIdcode: return idcodeReg_;
    case Dr::kScanN: return scanN_;
    case Dr::kChain1: return chain1_;
    case Dr::kChain2: return chain2_;
    case Dr::kBypass: break;
  }
  return bypass_;
}

void JtagTap::Shift(ShiftRegister& reg, bool tdi) {
  reg.cells = (reg.cells >> 1) | (uint64_t{tdi ? 1u : 0u} << (reg.length - 1));
}

void JtagTap::Clock(bool tms, bool tdi) {
  TapState previous = state_;
  switch (previous) {
    case TapState::kShiftDr: Shift(Register(SelectedDr()), tdi); break;
    case TapState::kShiftIr: Shift(irShift_, tdi); break;
    case TapState::kRunTestIdle: hooks_.IdleEdge(ir_ == kIrIntest && chain_ == 1); break;
    default: break;
  }
  state_ = NextTapState(previous, tms);
  Enter(state_, previous);
  RefreshTdo();
}

void JtagTap::Enter(TapState next, TapState previous) {
  switch (next) {
    case TapState::kTestLogicReset:
      ir_ = kIrIdcode;
      chain_ = kChainAfterReset;
      break;
    case TapState::kCaptureIr: irShift_.cells = kIrCapture; break;
    case TapState::kUpdateIr: ir_ = static_cast<uint8_t>(irShift_.cells & 0xF); break;
    case TapState::kCaptureDr: CaptureDr(); break;
    case TapState::kUpdateDr: UpdateDr(); break;
    case TapState::kRunTestIdle:
      if (previous != TapState::kRunTestIdle && ir_ == kIrRestart) hooks_.RestartEntered();
      break;
    default: break;
  }
}

void JtagTap::CaptureDr() {
  switch (SelectedDr()) {
    case Dr::kBypass: bypass_.cells = 0; break;
    case Dr::kIdcode: idcodeReg_.cells = idcode_; break;
    case Dr::kScanN: scanN_.cells = kScanNCapture; break;
    case Dr::kChain1: chain1_.cells = hooks_.CaptureChain1(); break;
    case Dr::kChain2: chain2_.cells = (chain2_.cells & ~kChain2DataMask) | hooks_.CaptureChain2Data(); break;
  }
}

void JtagTap::UpdateDr() {
  switch (SelectedDr()) {
    case Dr::kScanN: chain_ = static_cast<int>(scanN_.cells & 0xF); break;
    case Dr::kChain1: hooks_.UpdateChain1(chain1_.cells); break;
    case Dr::kChain2: hooks_.UpdateChain2(chain2_.cells); break;
    default: break;
  }
}

void JtagTap::RefreshTdo() {
  if (state_ == TapState::kShiftDr) {
    tdo_ = (Register(SelectedDr()).cells & 1u) != 0;
  } else if (state_ == TapState::kShiftIr) {
    tdo_ = (irShift_.cells & 1u) != 0;
  } else {
    tdo_ = false;
  }
}

}  // namespace vsim
