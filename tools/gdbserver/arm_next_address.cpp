#include "arm_next_address.h"

#include <bit>

namespace vantrel::gdb {

namespace {

constexpr uint32_t kThumbBit = 0x20;
constexpr uint32_t kUndefinedVector = 0x04;
constexpr uint32_t kSwiVector = 0x08;

uint32_t Bits(uint32_t value, int high, int low) { return (value >> low) & ((2u << (high - low)) - 1); }
bool Bit(uint32_t value, int bit) { return ((value >> bit) & 1) != 0; }
uint32_t SignExtend(uint32_t value, int bits) {
  const uint32_t sign = 1u << (bits - 1);
  return (value ^ sign) - sign;
}

bool ConditionPasses(uint32_t condition, uint32_t cpsr) {
  const bool n = Bit(cpsr, 31), z = Bit(cpsr, 30), c = Bit(cpsr, 29), v = Bit(cpsr, 28);
  switch (condition) {
    case 0x0: return z;
    case 0x1: return !z;
    case 0x2: return c;
    case 0x3: return !c;
    case 0x4: return n;
    case 0x5: return !n;
    case 0x6: return v;
    case 0x7: return !v;
    case 0x8: return c && !z;
    case 0x9: return !c || z;
    case 0xA: return n == v;
    case 0xB: return n != v;
    case 0xC: return !z && n == v;
    case 0xD: return z || n != v;
    case 0xE: return true;
    default: return false;  // NV: never, on this architecture
  }
}

NextAddress Arm(uint32_t address) { return {address & ~3u, false}; }
NextAddress Thumb(uint32_t address) { return {address & ~1u, true}; }
// A BX target or an exception return: the state comes with the value.
NextAddress Interworking(uint32_t value) { return (value & 1) != 0 ? Thumb(value) : Arm(value); }

// ---- ARM state ------------------------------------------------------------------------

struct ArmContext {
  const CoreSnapshot& core;
  uint32_t pc;  // the instruction's address
  uint32_t instruction;
  // r15 reads 8 ahead, 12 with a shift by register.
  uint32_t Reg(uint32_t index, bool shiftByRegister = false) const {
    if (index == 15) return pc + (shiftByRegister ? 12 : 8);
    return core.r[index];
  }
  bool Carry() const { return Bit(core.cpsr, 29); }
};

uint32_t ShiftImmediate(uint32_t value, uint32_t type, uint32_t amount, bool carry) {
  switch (type) {
    case 0: return value << amount;
    case 1: return amount == 0 ? 0 : value >> amount;
    case 2:
      return amount == 0 ? (Bit(value, 31) ? 0xFFFFFFFFu : 0)
                         : static_cast<uint32_t>(static_cast<int32_t>(value) >> amount);
    default:
      return amount == 0 ? (static_cast<uint32_t>(carry) << 31 | value >> 1)
                         : std::rotr(value, static_cast<int>(amount));
  }
}

uint32_t ShiftByRegister(uint32_t value, uint32_t type, uint32_t amount) {
  if (amount == 0) return value;
  switch (type) {
    case 0: return amount >= 32 ? 0 : value << amount;
    case 1: return amount >= 32 ? 0 : value >> amount;
    case 2:
      return amount >= 32 ? (Bit(value, 31) ? 0xFFFFFFFFu : 0)
                          : static_cast<uint32_t>(static_cast<int32_t>(value) >> amount);
    default: return std::rotr(value, static_cast<int>(amount & 31));
  }
}

// The second operand of a data-processing instruction.
uint32_t ShifterOperand(const ArmContext& arm) {
  const uint32_t i = arm.instruction;
  if (Bit(i, 25)) return std::rotr(Bits(i, 7, 0), static_cast<int>(2 * Bits(i, 11, 8)));
  const bool byRegister = Bit(i, 4);
  const uint32_t rm = arm.Reg(Bits(i, 3, 0), byRegister);
  if (byRegister) return ShiftByRegister(rm, Bits(i, 6, 5), arm.Reg(Bits(i, 11, 8)) & 0xFF);
  return ShiftImmediate(rm, Bits(i, 6, 5), Bits(i, 11, 7), arm.Carry());
}

std::optional<NextAddress> DataProcessingToPc(const ArmContext& arm) {
  const uint32_t i = arm.instruction;
  const uint32_t rn = arm.Reg(Bits(i, 19, 16), !Bit(i, 25) && Bit(i, 4));
  const uint32_t op2 = ShifterOperand(arm);
  const uint32_t c = arm.Carry() ? 1 : 0;
  uint32_t result = 0;
  switch (Bits(i, 24, 21)) {
    case 0x0: result = rn & op2; break;
    case 0x1: result = rn ^ op2; break;
    case 0x2: result = rn - op2; break;
    case 0x3: result = op2 - rn; break;
    case 0x4: result = rn + op2; break;
    case 0x5: result = rn + op2 + c; break;
    case 0x6: result = rn - op2 - (1 - c); break;
    case 0x7: result = op2 - rn - (1 - c); break;
    case 0xC: result = rn | op2; break;
    case 0xD: result = op2; break;
    case 0xE: result = rn & ~op2; break;
    case 0xF: result = ~op2; break;
    default: return Arm(arm.pc + 4);  // compare and test write no register
  }
  // With S set, writing the PC returns from an exception: the SPSR gives the state.
  if (Bit(i, 20)) return (arm.core.spsr & kThumbBit) != 0 ? Thumb(result) : Arm(result);
  return Arm(result);
}

std::optional<NextAddress> LoadToPc(const ArmContext& arm, const WordReader& readWord) {
  const uint32_t i = arm.instruction;
  uint32_t offset = Bits(i, 11, 0);
  if (Bit(i, 25)) offset = ShiftImmediate(arm.Reg(Bits(i, 3, 0)), Bits(i, 6, 5), Bits(i, 11, 7), arm.Carry());
  const uint32_t base = arm.Reg(Bits(i, 19, 16));
  const uint32_t indexed = Bit(i, 23) ? base + offset : base - offset;
  const uint32_t address = Bit(i, 24) ? indexed : base;
  const auto word = readWord(address & ~3u);
  if (!word) return std::nullopt;
  // An unaligned word load rotates the word; a byte load takes one byte of it.
  const uint32_t rotated = std::rotr(*word, static_cast<int>(8 * (address & 3)));
  return Arm(Bit(i, 22) ? (rotated & 0xFF) : rotated);
}

std::optional<NextAddress> LoadMultipleToPc(const ArmContext& arm, const WordReader& readWord) {
  const uint32_t i = arm.instruction;
  const uint32_t count = static_cast<uint32_t>(std::popcount(Bits(i, 15, 0)));
  const uint32_t base = arm.Reg(Bits(i, 19, 16));
  uint32_t lowest = 0;
  if (Bit(i, 23)) lowest = Bit(i, 24) ? base + 4 : base;
  else lowest = Bit(i, 24) ? base - 4 * count : base - 4 * count + 4;
  const auto word = readWord((lowest + 4 * (count - 1)) & ~3u);
  if (!word) return std::nullopt;
  if (Bit(i, 22)) return (arm.core.spsr & kThumbBit) != 0 ? Thumb(*word) : Arm(*word);
  return Arm(*word);
}

std::optional<NextAddress> NextArm(const CoreSnapshot& core, uint32_t instruction, const WordReader& readWord) {
  const ArmContext arm{core, core.r[15], instruction};
  const NextAddress following = Arm(arm.pc + 4);
  const uint32_t i = instruction;
  if (!ConditionPasses(Bits(i, 31, 28), core.cpsr)) return following;
  const bool writesR15 = Bits(i, 15, 12) == 15;
  if ((i & 0x0FFFFFF0u) == 0x012FFF10u) return Interworking(arm.Reg(Bits(i, 3, 0)));  // BX
  switch (Bits(i, 27, 25)) {
    case 0b000:
      // Multiplies, swaps, halfword transfers and status moves write no PC usefully.
      if ((i & 0x90u) == 0x90u) return following;
      // Status moves; the rest of this space is undefined on this architecture.
      if ((i & 0x01900000u) == 0x01000000u) return Bits(i, 7, 4) == 0 ? following : Arm(kUndefinedVector);
      return writesR15 ? DataProcessingToPc(arm) : following;
    case 0b001:
      if ((i & 0x01900000u) == 0x01000000u) return Bit(i, 21) ? following : Arm(kUndefinedVector);  // MSR
      return writesR15 ? DataProcessingToPc(arm) : following;
    case 0b011:
      if (Bit(i, 4)) return Arm(kUndefinedVector);
      [[fallthrough]];
    case 0b010: return writesR15 && Bit(i, 20) ? LoadToPc(arm, readWord) : following;
    case 0b100: return Bit(i, 20) && Bit(i, 15) ? LoadMultipleToPc(arm, readWord) : following;
    case 0b101: return Arm(arm.pc + 8 + (SignExtend(Bits(i, 23, 0), 24) << 2));
    case 0b110: return Arm(kUndefinedVector);  // no coprocessor answers
    default: return Bit(i, 24) ? Arm(kSwiVector) : Arm(kUndefinedVector);
  }
}

// ---- Thumb state ----------------------------------------------------------------------

std::optional<NextAddress> NextThumb(const CoreSnapshot& core, uint32_t t) {
  const uint32_t pc = core.r[15];
  const auto reg = [&](uint32_t index) { return index == 15 ? pc + 4 : core.r[index]; };
  const NextAddress following = Thumb(pc + 2);
  if ((t & 0xFF00u) == 0xDF00u) return Arm(kSwiVector);
  if ((t & 0xFF00u) == 0xDE00u) return Arm(kUndefinedVector);
  if ((t & 0xF000u) == 0xD000u) {
    if (!ConditionPasses(Bits(t, 11, 8), core.cpsr)) return following;
    return Thumb(pc + 4 + (SignExtend(Bits(t, 7, 0), 8) << 1));
  }
  if ((t & 0xF800u) == 0xE000u) return Thumb(pc + 4 + (SignExtend(Bits(t, 10, 0), 11) << 1));
  if ((t & 0xF800u) == 0xE800u) return Arm(kUndefinedVector);  // BLX suffix: a later architecture
  if ((t & 0xF800u) == 0xF000u) return following;              // BL prefix: sets LR only
  if ((t & 0xF800u) == 0xF800u) return Thumb(core.r[14] + (Bits(t, 10, 0) << 1));
  if ((t & 0xFF80u) == 0x4780u) return Arm(kUndefinedVector);  // BLX: a later architecture
  if ((t & 0xFF00u) == 0x4700u) {
    const uint32_t value = reg(Bits(t, 6, 3));
    return (value & 1) != 0 ? Thumb(value) : Arm(value);
  }
  const uint32_t rd = Bits(t, 2, 0) | (Bit(t, 7) ? 8 : 0);
  if ((t & 0xFF00u) == 0x4400u && rd == 15) return Thumb(reg(15) + reg(Bits(t, 6, 3)));
  if ((t & 0xFF00u) == 0x4600u && rd == 15) return Thumb(reg(Bits(t, 6, 3)));
  // Unassigned in the 1011 group on this architecture.
  const uint32_t misc = Bits(t, 11, 8);
  if ((t & 0xF000u) == 0xB000u && misc != 0x0 && misc != 0x4 && misc != 0x5 && misc != 0xC && misc != 0xD) {
    return Arm(kUndefinedVector);
  }
  return following;
}

}  // namespace

std::optional<NextAddress> NextInstructionAddress(const CoreSnapshot& core, const WordReader& readWord) {
  const uint32_t pc = core.r[15];
  const auto word = readWord(pc & ~3u);
  if (!word) return std::nullopt;
  if ((core.cpsr & kThumbBit) == 0) return NextArm(core, *word, readWord);
  const uint32_t halfword = (pc & 2) != 0 ? *word >> 16 : *word & 0xFFFF;
  if ((halfword & 0xFF00u) == 0xBD00u) {  // POP with the PC: the highest word popped
    const uint32_t count = static_cast<uint32_t>(std::popcount(halfword & 0xFFu)) + 1;
    const auto value = readWord((core.r[13] + 4 * (count - 1)) & ~3u);
    if (!value) return std::nullopt;
    return Thumb(*value);
  }
  return NextThumb(core, halfword);
}

}  // namespace vantrel::gdb
