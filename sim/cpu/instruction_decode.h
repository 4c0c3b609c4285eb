// Sorting ARM and Thumb instruction words into the classes the executor and the cycle
// shape both work with, so that the two can never disagree about what a word is.
#pragma once

#include <cstdint>

namespace vsim::cpu {

enum class ArmClass : uint8_t {
  kDataProcessing,
  kMultiply,             // MUL, MLA
  kMultiplyLong,         // UMULL, UMLAL, SMULL, SMLAL
  kSwap,                 // SWP, SWPB
  kHalfwordTransfer,     // LDRH, STRH, LDRSB, LDRSH
  kStatusRead,           // MRS
  kStatusWrite,          // MSR, register or immediate
  kBranchExchange,       // BX
  kSingleTransfer,       // LDR, STR, LDRB, STRB and the T forms
  kBlockTransfer,        // LDM, STM
  kBranch,               // B, BL
  kCoprocessorTransfer,  // LDC, STC
  kCoprocessorRegister,  // MRC, MCR
  kCoprocessorData,      // CDP
  kSoftwareInterrupt,
  kUndefined,
};

ArmClass ClassifyArm(uint32_t word);

// Whether condition field cond (0-15) passes under the NZCV bits of cpsr. NV (15)
// never passes, as on ARMv4.
bool ConditionPasses(uint32_t cond, uint32_t cpsr);

// Most Thumb instructions are ARM instructions with a shorter encoding; those are
// rewritten as the ARM word that has the same effect (flags included). The rest need
// the Thumb PC rules or have no ARM twin.
enum class ThumbKind : uint8_t {
  kArm,                // execute `arm` (always condition AL)
  kPcRelativeLoad,     // LDR Rd, [pc, #imm]: pc word-aligned
  kAddressFromPc,      // ADD Rd, pc, #imm: pc word-aligned
  kAddressFromSp,      // ADD Rd, sp, #imm
  kAdjustSp,           // ADD/SUB sp, #imm (offset signed in `offset`)
  kConditionalBranch,  // B<cond>; cond in `cond`
  kBranch,             // B
  kLongBranchHigh,     // first half of BL: lr = pc + (offset << 12)
  kLongBranchLow,      // second half of BL: pc = lr + (offset << 1), lr = next | 1
  kSoftwareInterrupt,
  kUndefined,
};

struct ThumbDecoded {
  ThumbKind kind = ThumbKind::kUndefined;
  uint32_t arm = 0;    // kArm: the equivalent ARM word
  int rd = 0;          // register operand of the special kinds
  int32_t offset = 0;  // byte offset of branches, loads and sp adjustments
  uint32_t cond = 0;   // kConditionalBranch
};

ThumbDecoded DecodeThumb(uint16_t half);

}  // namespace vsim::cpu
