#include "cpu/instruction_decode.h"

namespace vsim::cpu {
namespace {

constexpr uint32_t kAlways = 0xE0000000u;

ArmClass ClassifyMultiplyOrExtraLoadStore(uint32_t word) {
  if ((word & 0x60u) != 0) {  // SH != 00: halfword and signed transfers
    const bool load = (word & (1u << 20)) != 0;
    const bool signedForm = (word & 0x40u) != 0;
    return (!load && signedForm) ? ArmClass::kUndefined : ArmClass::kHalfwordTransfer;
  }
  const uint32_t op = (word >> 20) & 0x1Fu;
  if ((op & 0x1Cu) == 0x00u) return ArmClass::kMultiply;
  if ((op & 0x18u) == 0x08u) return ArmClass::kMultiplyLong;
  if ((op & 0x1Bu) == 0x10u && (word & 0xF00u) == 0) return ArmClass::kSwap;
  return ArmClass::kUndefined;
}

ArmClass ClassifyDataProcessingSpace(uint32_t word) {
  if ((word & 0x90u) == 0x90u) return ClassifyMultiplyOrExtraLoadStore(word);
  if ((word & 0x0FFFFFF0u) == 0x012FFF10u) return ArmClass::kBranchExchange;
  const bool testOpWithoutS = (word & 0x01900000u) == 0x01000000u;
  if (!testOpWithoutS) return ArmClass::kDataProcessing;
  if ((word & 0xF0u) != 0) return ArmClass::kUndefined;
  return (word & (1u << 21)) != 0 ? ArmClass::kStatusWrite : ArmClass::kStatusRead;
}

ArmClass ClassifyImmediateSpace(uint32_t word) {
  const bool testOpWithoutS = (word & 0x01900000u) == 0x01000000u;
  if (!testOpWithoutS) return ArmClass::kDataProcessing;
  return (word & (1u << 21)) != 0 ? ArmClass::kStatusWrite : ArmClass::kUndefined;
}

}  // namespace

ArmClass ClassifyArm(uint32_t word) {
  switch ((word >> 25) & 7u) {
    case 0: return ClassifyDataProcessingSpace(word);
    case 1: return ClassifyImmediateSpace(word);
    case 2: return ArmClass::kSingleTransfer;
    case 3: return (word & 0x10u) != 0 ? ArmClass::kUndefined : ArmClass::kSingleTransfer;
    case 4: return ArmClass::kBlockTransfer;
    case 5: return ArmClass::kBranch;
    case 6: return ArmClass::kCoprocessorTransfer;
    default:
      if ((word & (1u << 24)) != 0) return ArmClass::kSoftwareInterrupt;
      return (word & 0x10u) != 0 ? ArmClass::kCoprocessorRegister : ArmClass::kCoprocessorData;
  }
}

bool ConditionPasses(uint32_t cond, uint32_t cpsr) {
  const bool n = (cpsr & 0x80000000u) != 0, z = (cpsr & 0x40000000u) != 0;
  const bool c = (cpsr & 0x20000000u) != 0, v = (cpsr & 0x10000000u) != 0;
  switch (cond & 0xFu) {
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
    default: return false;
  }
}

namespace {

uint32_t Bits(uint16_t half, int low, int count) { return (static_cast<uint32_t>(half) >> low) & ((1u << count) - 1u); }

ThumbDecoded Arm(uint32_t word) { return {ThumbKind::kArm, kAlways | word, 0, 0, 0}; }

ThumbDecoded ShiftOrAddSubtract(uint16_t h) {  // 000x xxxx xxxx xxxx
  const uint32_t rd = Bits(h, 0, 3), rs = Bits(h, 3, 3);
  const uint32_t op = Bits(h, 11, 2);
  if (op != 3) return Arm(0x01B00000u | rd << 12 | Bits(h, 6, 5) << 7 | op << 5 | rs);
  const bool immediate = Bits(h, 10, 1) != 0;
  const bool subtract = Bits(h, 9, 1) != 0;
  const uint32_t opcode = subtract ? 0x00500000u : 0x00900000u;
  const uint32_t operand = Bits(h, 6, 3);
  return Arm(opcode | (immediate ? 0x02000000u : 0u) | rs << 16 | rd << 12 | operand);
}

ThumbDecoded ImmediateOperation(uint16_t h) {  // 001o oddd iiii iiii
  const uint32_t rd = Bits(h, 8, 3), imm = Bits(h, 0, 8);
  switch (Bits(h, 11, 2)) {
    case 0: return Arm(0x03B00000u | rd << 12 | imm);              // MOVS
    case 1: return Arm(0x03500000u | rd << 16 | imm);              // CMP
    case 2: return Arm(0x02900000u | rd << 16 | rd << 12 | imm);   // ADDS
    default: return Arm(0x02500000u | rd << 16 | rd << 12 | imm);  // SUBS
  }
}

ThumbDecoded AluOperation(uint16_t h) {  // 0100 00oo oosss ddd
  const uint32_t rd = Bits(h, 0, 3), rs = Bits(h, 3, 3);
  const uint32_t same = rd << 16 | rd << 12 | rs;  // Rd := Rd op Rs
  switch (Bits(h, 6, 4)) {
    case 0x0: return Arm(0x00100000u | same);                     // ANDS
    case 0x1: return Arm(0x00300000u | same);                     // EORS
    case 0x2: return Arm(0x01B00010u | rd << 12 | rs << 8 | rd);  // MOVS rd, rd, LSL rs
    case 0x3: return Arm(0x01B00030u | rd << 12 | rs << 8 | rd);  // LSR
    case 0x4: return Arm(0x01B00050u | rd << 12 | rs << 8 | rd);  // ASR
    case 0x5: return Arm(0x00B00000u | same);                     // ADCS
    case 0x6: return Arm(0x00D00000u | same);                     // SBCS
    case 0x7: return Arm(0x01B00070u | rd << 12 | rs << 8 | rd);  // ROR
    case 0x8: return Arm(0x01100000u | rd << 16 | rs);            // TST
    case 0x9: return Arm(0x02700000u | rs << 16 | rd << 12);      // RSBS rd, rs, #0
    case 0xA: return Arm(0x01500000u | rd << 16 | rs);            // CMP
    case 0xB: return Arm(0x01700000u | rd << 16 | rs);            // CMN
    case 0xC: return Arm(0x01900000u | same);                     // ORRS
    case 0xD: return Arm(0x00100090u | rd << 16 | rd << 8 | rs);  // MULS rd, rs, rd
    case 0xE: return Arm(0x01D00000u | same);                     // BICS
    default: return Arm(0x01F00000u | rd << 12 | rs);             // MVNS
  }
}

ThumbDecoded HighRegisterOperation(uint16_t h) {  // 0100 01oo HHss sddd
  const uint32_t rd = Bits(h, 0, 3) | Bits(h, 7, 1) << 3;
  const uint32_t rs = Bits(h, 3, 4);
  switch (Bits(h, 8, 2)) {
    case 0: return Arm(0x00800000u | rd << 16 | rd << 12 | rs);  // ADD (flags kept)
    case 1: return Arm(0x01500000u | rd << 16 | rs);             // CMP
    case 2: return Arm(0x01A00000u | rd << 12 | rs);             // MOV (flags kept)
    default:
      if (Bits(h, 7, 1) != 0) return {};  // BLX is not ARMv4T
      return Arm(0x012FFF10u | rs);       // BX
  }
}

ThumbDecoded RegisterOffsetTransfer(uint16_t h) {  // 0101 xxxo oobb bddd
  const uint32_t rd = Bits(h, 0, 3), rb = Bits(h, 3, 3), ro = Bits(h, 6, 3);
  const uint32_t regs = rb << 16 | rd << 12 | ro;
  if (Bits(h, 9, 1) == 0) {  // LDR/STR word or byte
    return Arm(0x07800000u | Bits(h, 11, 1) << 20 | Bits(h, 10, 1) << 22 | regs);
  }
  switch (Bits(h, 10, 2)) {
    case 0: return Arm(0x018000B0u | regs);   // STRH
    case 1: return Arm(0x019000D0u | regs);   // LDRSB
    case 2: return Arm(0x019000B0u | regs);   // LDRH
    default: return Arm(0x019000F0u | regs);  // LDRSH
  }
}

ThumbDecoded ImmediateOffsetTransfer(uint16_t h) {  // 011B Liii iibb bddd
  const uint32_t rd = Bits(h, 0, 3), rb = Bits(h, 3, 3), imm = Bits(h, 6, 5);
  const bool byte = Bits(h, 12, 1) != 0;
  const uint32_t offset = byte ? imm : imm * 4;
  return Arm(0x05800000u | (byte ? 1u << 22 : 0u) | Bits(h, 11, 1) << 20 | rb << 16 | rd << 12 | offset);
}

ThumbDecoded HalfwordImmediateTransfer(uint16_t h) {  // 1000 Liii iibb bddd
  const uint32_t rd = Bits(h, 0, 3), rb = Bits(h, 3, 3), offset = Bits(h, 6, 5) * 2;
  return Arm(0x01C000B0u | Bits(h, 11, 1) << 20 | rb << 16 | rd << 12 | (offset >> 4) << 8 | (offset & 0xFu));
}

ThumbDecoded Special(ThumbKind kind, int rd, int32_t offset) { return {kind, 0, rd, offset, 0}; }

int32_t SignExtend(uint32_t value, int bits) {
  const uint32_t sign = 1u << (bits - 1);
  return static_cast<int32_t>((value ^ sign) - sign);
}

ThumbDecoded Miscellaneous(uint16_t h) {  // 1011 xxxx xxxx xxxx
  if (Bits(h, 8, 4) == 0) {
    const auto magnitude = static_cast<int32_t>(Bits(h, 0, 7) * 4);
    return Special(ThumbKind::kAdjustSp, 13, Bits(h, 7, 1) != 0 ? -magnitude : magnitude);
  }
  if (Bits(h, 9, 2) != 2) return {};
  const uint32_t list = Bits(h, 0, 8);
  const bool extra = Bits(h, 8, 1) != 0;
  if (Bits(h, 11, 1) != 0) return Arm(0x08BD0000u | list | (extra ? 1u << 15 : 0u));  // POP
  return Arm(0x092D0000u | list | (extra ? 1u << 14 : 0u));                           // PUSH
}

ThumbDecoded ConditionalBranchOrSwi(uint16_t h) {  // 1101 cccc oooo oooo
  const uint32_t cond = Bits(h, 8, 4);
  if (cond == 0xF) return Special(ThumbKind::kSoftwareInterrupt, 0, 0);
  if (cond == 0xE) return {};
  ThumbDecoded d = Special(ThumbKind::kConditionalBranch, 0, SignExtend(Bits(h, 0, 8), 8) * 2);
  d.cond = cond;
  return d;
}

}  // namespace

ThumbDecoded DecodeThumb(uint16_t h) {
  const auto rd8 = static_cast<int>(Bits(h, 8, 3));
  switch (h >> 12) {
    case 0x0:
    case 0x1: return ShiftOrAddSubtract(h);
    case 0x2:
    case 0x3: return ImmediateOperation(h);
    case 0x4:
      if (Bits(h, 11, 1) != 0) return Special(ThumbKind::kPcRelativeLoad, rd8, static_cast<int32_t>(Bits(h, 0, 8) * 4));
      return Bits(h, 10, 1) != 0 ? HighRegisterOperation(h) : AluOperation(h);
    case 0x5: return RegisterOffsetTransfer(h);
    case 0x6:
    case 0x7: return ImmediateOffsetTransfer(h);
    case 0x8: return HalfwordImmediateTransfer(h);
    case 0x9:  // LDR/STR Rd, [sp, #imm]
      return Arm(0x058D0000u | Bits(h, 11, 1) << 20 | static_cast<uint32_t>(rd8) << 12 | Bits(h, 0, 8) * 4);
    case 0xA:
      return Special(Bits(h, 11, 1) != 0 ? ThumbKind::kAddressFromSp : ThumbKind::kAddressFromPc, rd8,
                     static_cast<int32_t>(Bits(h, 0, 8) * 4));
    case 0xB: return Miscellaneous(h);
    case 0xC:  // LDMIA/STMIA Rb!, {list}
      return Arm(0x08A00000u | Bits(h, 11, 1) << 20 | static_cast<uint32_t>(rd8) << 16 | Bits(h, 0, 8));
    case 0xD: return ConditionalBranchOrSwi(h);
    case 0xE:
      if (Bits(h, 11, 1) != 0) return {};  // BLX suffix: not ARMv4T
      return Special(ThumbKind::kBranch, 0, SignExtend(Bits(h, 0, 11), 11) * 2);
    default:
      if (Bits(h, 11, 1) == 0) return Special(ThumbKind::kLongBranchHigh, 14, SignExtend(Bits(h, 0, 11), 11) * 4096);
      return Special(ThumbKind::kLongBranchLow, 14, static_cast<int32_t>(Bits(h, 0, 11) * 2));
  }
}

}  // namespace vsim::cpu
