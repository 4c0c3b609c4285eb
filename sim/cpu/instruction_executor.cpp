#include "cpu/instruction_executor.h"

#include "cpu/instruction_decode.h"

namespace vsim::cpu {

InstructionExecutor::InstructionExecutor(ArmCpu& cpu, Bus& bus, uint32_t address)
    : cpu_(cpu), bus_(bus), address_(address), thumb_(cpu.Thumb()) {}

ExecResult InstructionExecutor::ExecuteArm(uint32_t word) {
  pc_operand_ = address_ + 8;
  cpu_.next_pc_ = address_ + 4;
  if (ConditionPassed(word >> 28)) DispatchArm(word);
  if (data_aborted_) {
    TakeException(ArmCpu::Exception::kDataAbort, address_ + 8);
    result_.dataAbort = true;
  }
  return result_;
}

void InstructionExecutor::DispatchArm(uint32_t word) {
  switch (ClassifyArm(word)) {
    case ArmClass::kDataProcessing: return DataProcessing(word);
    case ArmClass::kMultiply: return Multiply(word);
    case ArmClass::kMultiplyLong: return MultiplyLong(word);
    case ArmClass::kSwap: return Swap(word);
    case ArmClass::kHalfwordTransfer: return HalfwordTransfer(word);
    case ArmClass::kStatusRead: return StatusRead(word);
    case ArmClass::kStatusWrite: return StatusWrite(word);
    case ArmClass::kBranchExchange: return BranchExchange(word);
    case ArmClass::kSingleTransfer: return SingleTransfer(word);
    case ArmClass::kBlockTransfer: return BlockTransfer(word);
    case ArmClass::kBranch: return Branch(word);
    case ArmClass::kCoprocessorRegister: return CoprocessorRegister(word);
    case ArmClass::kSoftwareInterrupt: return SoftwareInterrupt();
    case ArmClass::kCoprocessorTransfer:  // no coprocessor answers LDC/STC/CDP
    case ArmClass::kCoprocessorData:
    case ArmClass::kUndefined: return Undefined();
  }
}

bool InstructionExecutor::ConditionPassed(uint32_t cond) const { return ConditionPasses(cond, cpu_.cpsr_); }

void InstructionExecutor::SetNz(uint32_t value) {
  uint32_t f = cpu_.cpsr_ & ~(kNegative | kZero);
  if (value & 0x80000000u) f |= kNegative;
  if (value == 0) f |= kZero;
  cpu_.cpsr_ = f;
}

void InstructionExecutor::SetNzcv(uint32_t value, bool carry, bool overflow) {
  SetNz(value);
  uint32_t f = cpu_.cpsr_ & ~(kCarry | kOverflow);
  if (carry) f |= kCarry;
  if (overflow) f |= kOverflow;
  cpu_.cpsr_ = f;
}

void InstructionExecutor::JumpTo(uint32_t target) {
  cpu_.next_pc_ = target;
  result_.pcWritten = true;
}

void InstructionExecutor::WriteResult(uint32_t r, uint32_t value) {
  if (r != 15) {
    cpu_.regs_[r] = value;
  } else {
    JumpTo(cpu_.Thumb() ? value & ~1u : value);
  }
}

void InstructionExecutor::WriteLoaded(uint32_t r, uint32_t value) {
  if (r != 15) {
    cpu_.regs_[r] = value;
  } else {
    JumpTo(value & (cpu_.Thumb() ? ~1u : ~3u));
  }
}

uint32_t InstructionExecutor::Load(uint32_t address, int size, bool privileged) {
  uint32_t value = 0;
  if (!bus_.Read(address, size, AccessKind::kData, privileged, value)) {
    data_aborted_ = true;
    return 0;
  }
  if (size == 1) return value & 0xFFu;
  if (size == 2) return value & 0xFFFFu;
  return value;
}

void InstructionExecutor::Store(uint32_t address, int size, uint32_t value, bool privileged) {
  if (size == 1) value &= 0xFFu;
  if (size == 2) value &= 0xFFFFu;
  if (!bus_.Write(address, size, value, privileged)) data_aborted_ = true;
}

void InstructionExecutor::Branch(uint32_t word) {
  const uint32_t offset = static_cast<uint32_t>(static_cast<int32_t>(word << 8) >> 6);
  if ((word & (1u << 24)) != 0) cpu_.regs_[14] = address_ + 4;
  JumpTo(pc_operand_ + offset);
}

void InstructionExecutor::BranchExchange(uint32_t word) {
  const uint32_t target = Operand(word & 0xFu);
  if ((target & 1u) != 0) {
    cpu_.cpsr_ |= 0x20u;
  } else {
    cpu_.cpsr_ &= ~0x20u;
  }
  JumpTo(target & ~1u);  // bit 1 is kept, even in ARM state
}

void InstructionExecutor::CoprocessorRegister(uint32_t word) {
  const int cp = static_cast<int>((word >> 8) & 0xFu);
  const int opc1 = static_cast<int>((word >> 21) & 7u);
  const int crn = static_cast<int>((word >> 16) & 0xFu);
  const int crm = static_cast<int>(word & 0xFu);
  const int opc2 = static_cast<int>((word >> 5) & 7u);
  const uint32_t rd = (word >> 12) & 0xFu;
  if ((word & (1u << 20)) == 0) {  // MCR: r15 gives address + 12, like a store
    const uint32_t value = rd == 15 ? address_ + 12 : cpu_.regs_[rd];
    if (!bus_.CoprocessorWrite(cp, opc1, crn, crm, opc2, value)) Undefined();
    return;
  }
  uint32_t value = 0;
  if (!bus_.CoprocessorRead(cp, opc1, crn, crm, opc2, value)) return Undefined();
  if (rd == 15) {  // MRC to r15 sets the flags from bits 31:28
    cpu_.cpsr_ = (cpu_.cpsr_ & 0x0FFFFFFFu) | (value & 0xF0000000u);
  } else {
    cpu_.regs_[rd] = value;
  }
}

void InstructionExecutor::TakeException(ArmCpu::Exception kind, uint32_t returnAddress) {
  cpu_.TakeException(kind, returnAddress);
  result_.exception = true;
  result_.pcWritten = false;
}

void InstructionExecutor::Undefined() { TakeException(ArmCpu::Exception::kUndefined, address_ + (thumb_ ? 2u : 4u)); }

void InstructionExecutor::SoftwareInterrupt() { TakeException(ArmCpu::Exception::kSwi, address_ + (thumb_ ? 2u : 4u)); }

}  // namespace vsim::cpu
