// Executes one ARM or Thumb word on an ArmCpu's state, with all memory and coprocessor
// traffic through the Bus. One executor lives for one instruction.
#pragma once

#include <cstdint>

#include "cpu/arm_cpu.h"
#include "cpu/instruction_decode.h"

namespace vsim::cpu {

class InstructionExecutor {
 public:
  InstructionExecutor(ArmCpu& cpu, Bus& bus, uint32_t address);

  ExecResult ExecuteArm(uint32_t word);
  ExecResult ExecuteThumb(uint16_t half);

 private:
  // Dispatch of one ARM word whose condition has passed.
  void DispatchArm(uint32_t word);

  // arm_data_processing.cpp
  void DataProcessing(uint32_t word);
  void Multiply(uint32_t word);
  void MultiplyLong(uint32_t word);
  void StatusRead(uint32_t word);
  void StatusWrite(uint32_t word);

  // arm_load_store.cpp
  void SingleTransfer(uint32_t word);
  void HalfwordTransfer(uint32_t word);
  void BlockTransfer(uint32_t word);
  void Swap(uint32_t word);

  // instruction_executor.cpp
  void Branch(uint32_t word);
  void BranchExchange(uint32_t word);
  void CoprocessorRegister(uint32_t word);
  void TakeException(ArmCpu::Exception kind, uint32_t returnAddress);
  void Undefined();
  void SoftwareInterrupt();

  // thumb_executor.cpp
  void DispatchThumbSpecial(const ThumbDecoded& decoded);

  bool ConditionPassed(uint32_t cond) const;
  bool Carry() const { return (cpu_.cpsr_ & kCarry) != 0; }
  void SetNz(uint32_t value);
  void SetNzcv(uint32_t value, bool carry, bool overflow);
  // r0-r14, or r15 as an operand (instruction address + 8 ARM / + 4 Thumb).
  uint32_t Operand(uint32_t r) const { return r == 15 ? pc_operand_ : cpu_.regs_[r]; }
  // Writes of computed results; r15 keeps all bits in ARM state and drops bit 0 in Thumb.
  void WriteResult(uint32_t r, uint32_t value);
  // Writes of loaded words; r15 drops bits 1:0 in ARM state (ARMv4 does not interwork
  // on loads) and bit 0 in Thumb state.
  void WriteLoaded(uint32_t r, uint32_t value);
  void JumpTo(uint32_t target);
  bool Privileged() const { return cpu_.CurrentMode() != Mode::kUser; }
  // Data accesses: a failed one marks the instruction as data-aborted.
  uint32_t Load(uint32_t address, int size, bool privileged);
  void Store(uint32_t address, int size, uint32_t value, bool privileged);

  static constexpr uint32_t kNegative = 0x80000000u;
  static constexpr uint32_t kZero = 0x40000000u;
  static constexpr uint32_t kCarry = 0x20000000u;
  static constexpr uint32_t kOverflow = 0x10000000u;

  ArmCpu& cpu_;
  Bus& bus_;
  uint32_t address_;
  uint32_t pc_operand_ = 0;
  bool thumb_;
  bool data_aborted_ = false;
  ExecResult result_;
};

}  // namespace vsim::cpu
