// Data processing, multiplies and the status register transfers.
#include "cpu/barrel_shifter.h"
#include "cpu/instruction_executor.h"

namespace vsim::cpu {
namespace {

enum Opcode : uint32_t {
  kAnd,
  kEor,
  kSub,
  kRsb,
  kAdd,
  kAdc,
  kSbc,
  kRsc,
  kTst,
  kTeq,
  kCmp,
  kCmn,
  kOrr,
  kMov,
  kBic,
  kMvn,
};

bool IsTest(uint32_t opcode) { return opcode >= kTst && opcode <= kCmn; }

struct AluOutcome {
  uint32_t value;
  bool carry;
  bool overflow;
  bool arithmetic;  // logical operations take the shifter's carry and keep V
};

AluOutcome Compute(uint32_t opcode, uint32_t a, Shifted b, bool carryIn) {
  auto logical = [&](uint32_t value) { return AluOutcome{value, b.carry, false, false}; };
  auto arithmetic = [](AddResult r) { return AluOutcome{r.value, r.carry, r.overflow, true}; };
  switch (opcode) {
    case kAnd:
    case kTst: return logical(a & b.value);
    case kEor:
    case kTeq: return logical(a ^ b.value);
    case kSub:
    case kCmp: return arithmetic(AddWithCarry(a, ~b.value, true));
    case kRsb: return arithmetic(AddWithCarry(b.value, ~a, true));
    case kAdd:
    case kCmn: return arithmetic(AddWithCarry(a, b.value, false));
    case kAdc: return arithmetic(AddWithCarry(a, b.value, carryIn));
    case kSbc: return arithmetic(AddWithCarry(a, ~b.value, carryIn));
    case kRsc: return arithmetic(AddWithCarry(b.value, ~a, carryIn));
    case kOrr: return logical(a | b.value);
    case kMov: return logical(b.value);
    case kBic: return logical(a & ~b.value);
    default: return logical(~b.value);
  }
}

constexpr uint32_t kFlagBits = 0xF0000000u;
constexpr uint32_t kControlBits = 0x000000FFu;
constexpr uint32_t kThumbBit = 0x20u;

}  // namespace

void InstructionExecutor::DataProcessing(uint32_t word) {
  const uint32_t opcode = (word >> 21) & 0xFu;
  const uint32_t rn = (word >> 16) & 0xFu, rd = (word >> 12) & 0xFu, rm = word & 0xFu;
  const uint32_t type = (word >> 5) & 3u;
  uint32_t a = 0;
  Shifted b{};
  if ((word & (1u << 25)) != 0) {
    const uint32_t rotation = ((word >> 8) & 0xFu) * 2u;
    const uint32_t value = RotateRight(word & 0xFFu, rotation);
    b = {value, rotation == 0 ? Carry() : (value >> 31) != 0};
    a = Operand(rn);
  } else if ((word & 0x10u) != 0) {
    // The shift amount costs a cycle, so r15 has moved on one more instruction.
    auto read = [&](uint32_t r) { return r == 15 ? pc_operand_ + (thumb_ ? 2u : 4u) : cpu_.regs_[r]; };
    b = ShiftByRegister(read(rm), type, read((word >> 8) & 0xFu), Carry());
    a = read(rn);
  } else {
    b = ShiftByImmediate(Operand(rm), type, (word >> 7) & 0x1Fu, Carry());
    a = Operand(rn);
  }
  const AluOutcome out = Compute(opcode, a, b, Carry());
  const bool setFlags = (word & (1u << 20)) != 0;
  if (setFlags && rd == 15 && !IsTest(opcode)) {
    cpu_.WriteCpsr(cpu_.Spsr(cpu_.CurrentMode()));  // exception return
  } else if (setFlags) {
    if (out.arithmetic) {
      SetNzcv(out.value, out.carry, out.overflow);
    } else {
      SetNzcv(out.value, out.carry, (cpu_.cpsr_ & kOverflow) != 0);
    }
  }
  if (!IsTest(opcode)) WriteResult(rd, out.value);
}

void InstructionExecutor::Multiply(uint32_t word) {
  const uint32_t rd = (word >> 16) & 0xFu, rn = (word >> 12) & 0xFu;
  const uint32_t rs = (word >> 8) & 0xFu, rm = word & 0xFu;
  uint32_t value = Operand(rm) * Operand(rs);
  if ((word & (1u << 21)) != 0) value += Operand(rn);
  if ((word & (1u << 20)) != 0) SetNz(value);  // C is left as it was
  WriteResult(rd, value);
}

void InstructionExecutor::MultiplyLong(uint32_t word) {
  const uint32_t rdHi = (word >> 16) & 0xFu, rdLo = (word >> 12) & 0xFu;
  const uint32_t a = Operand(word & 0xFu), b = Operand((word >> 8) & 0xFu);
  uint64_t product = 0;
  if ((word & (1u << 22)) != 0) {
    product = static_cast<uint64_t>(int64_t{static_cast<int32_t>(a)} * int64_t{static_cast<int32_t>(b)});
  } else {
    product = uint64_t{a} * uint64_t{b};
  }
  if ((word & (1u << 21)) != 0) product += (uint64_t{Operand(rdHi)} << 32) | Operand(rdLo);
  if ((word & (1u << 20)) != 0) {
    uint32_t f = cpu_.cpsr_ & ~(kNegative | kZero);
    if ((product >> 63) != 0) f |= kNegative;
    if (product == 0) f |= kZero;
    cpu_.cpsr_ = f;
  }
  WriteResult(rdLo, static_cast<uint32_t>(product));
  WriteResult(rdHi, static_cast<uint32_t>(product >> 32));
}

void InstructionExecutor::StatusRead(uint32_t word) {
  const bool spsr = (word & (1u << 22)) != 0;
  WriteResult((word >> 12) & 0xFu, spsr ? cpu_.Spsr(cpu_.CurrentMode()) : cpu_.cpsr_);
}

void InstructionExecutor::StatusWrite(uint32_t word) {
  uint32_t value = 0;
  if ((word & (1u << 25)) != 0) {
    value = RotateRight(word & 0xFFu, ((word >> 8) & 0xFu) * 2u);
  } else {
    value = Operand(word & 0xFu);
  }
  const uint32_t fields = (word >> 16) & 0xFu;
  uint32_t mask = ((fields & 1u) != 0 ? kControlBits : 0u) | ((fields & 8u) != 0 ? kFlagBits : 0u);
  const Mode mode = cpu_.CurrentMode();
  if ((word & (1u << 22)) != 0) {
    cpu_.SetSpsr(mode, (cpu_.Spsr(mode) & ~mask) | (value & mask));
    return;
  }
  if (mode == Mode::kUser) mask &= kFlagBits;
  mask &= ~kThumbBit;  // only BX and exceptions change state
  cpu_.WriteCpsr((cpu_.cpsr_ & ~mask) | (value & mask));
}

}  // namespace vsim::cpu
