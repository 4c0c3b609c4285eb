// Thumb state: most halfwords run as their ARM twins; the rest follow the Thumb PC rules
// here (r15 reads as address + 4, word-aligned where the instruction says so).
#include "cpu/instruction_executor.h"

namespace vsim::cpu {

ExecResult InstructionExecutor::ExecuteThumb(uint16_t half) {
  pc_operand_ = address_ + 4;
  cpu_.next_pc_ = address_ + 2;
  const ThumbDecoded decoded = DecodeThumb(half);
  if (decoded.kind == ThumbKind::kArm) {
    DispatchArm(decoded.arm);
  } else {
    DispatchThumbSpecial(decoded);
  }
  if (data_aborted_) {
    TakeException(ArmCpu::Exception::kDataAbort, address_ + 8);
    result_.dataAbort = true;
  }
  return result_;
}

void InstructionExecutor::DispatchThumbSpecial(const ThumbDecoded& d) {
  const auto offset = static_cast<uint32_t>(d.offset);
  const uint32_t alignedPc = pc_operand_ & ~3u;
  switch (d.kind) {
    case ThumbKind::kPcRelativeLoad: {
      const uint32_t value = Load(alignedPc + offset, 4, Privileged());
      if (!data_aborted_) cpu_.regs_[d.rd] = value;
      return;
    }
    case ThumbKind::kAddressFromPc: cpu_.regs_[d.rd] = alignedPc + offset; return;
    case ThumbKind::kAddressFromSp: cpu_.regs_[d.rd] = cpu_.regs_[13] + offset; return;
    case ThumbKind::kAdjustSp: cpu_.regs_[13] += offset; return;
    case ThumbKind::kConditionalBranch:
      if (ConditionPassed(d.cond)) JumpTo(pc_operand_ + offset);
      return;
    case ThumbKind::kBranch: JumpTo(pc_operand_ + offset); return;
    case ThumbKind::kLongBranchHigh: cpu_.regs_[14] = pc_operand_ + offset; return;
    case ThumbKind::kLongBranchLow: {
      const uint32_t target = cpu_.regs_[14] + offset;
      cpu_.regs_[14] = (address_ + 2) | 1u;
      JumpTo(target & ~1u);
      return;
    }
    case ThumbKind::kSoftwareInterrupt: SoftwareInterrupt(); return;
    default: Undefined(); return;
  }
}

}  // namespace vsim::cpu
