// How many data cycles each word makes, for the debug-state pipeline that feeds it.
#include <bit>

#include "cpu/arm_cpu.h"
#include "cpu/instruction_decode.h"

namespace vsim {
namespace {

using cpu::ArmClass;
using cpu::ClassifyArm;
using cpu::DecodeThumb;
using cpu::ThumbDecoded;
using cpu::ThumbKind;

constexpr uint32_t kLoadBit = 1u << 20;

bool Loads(uint32_t word) { return (word & kLoadBit) != 0; }
uint32_t Rd(uint32_t word) { return (word >> 12) & 0xFu; }

CycleShape SingleTransferShape(uint32_t word) {
  CycleShape shape;
  shape.isLoadStore = true;
  if (Loads(word)) {
    shape.loads = 1;
    shape.internal = true;
    shape.writesPc = Rd(word) == 15;
  } else {
    shape.stores = 1;
  }
  return shape;
}

CycleShape BlockTransferShape(uint32_t word) {
  const uint32_t list = word & 0xFFFFu;
  const int words = list == 0 ? 1 : std::popcount(list);  // an empty list moves r15
  CycleShape shape;
  shape.isLoadStore = true;
  if (Loads(word)) {
    shape.loads = words;
    shape.internal = true;
    shape.writesPc = list == 0 || (list & 0x8000u) != 0;
  } else {
    shape.stores = words;
  }
  return shape;
}

CycleShape ArmShape(uint32_t word) {
  CycleShape shape;
  switch (ClassifyArm(word)) {
    case ArmClass::kDataProcessing: {
      const uint32_t opcode = (word >> 21) & 0xFu;
      const bool test = opcode >= 8 && opcode <= 11;
      shape.writesPc = Rd(word) == 15 && !test;
      shape.internal = (word & (1u << 25)) == 0 && (word & 0x10u) != 0;  // shift by register
      return shape;
    }
    case ArmClass::kMultiply:
    case ArmClass::kMultiplyLong: shape.internal = true; return shape;
    case ArmClass::kSwap: shape = {1, 1, true, Rd(word) == 15, true}; return shape;
    case ArmClass::kHalfwordTransfer:
    case ArmClass::kSingleTransfer: return SingleTransferShape(word);
    case ArmClass::kBlockTransfer: return BlockTransferShape(word);
    case ArmClass::kBranch:
    case ArmClass::kBranchExchange:
    case ArmClass::kSoftwareInterrupt: shape.writesPc = true; return shape;
    case ArmClass::kCoprocessorTransfer: shape.isLoadStore = true; return shape;
    default: return shape;
  }
}

CycleShape ThumbShape(uint16_t half) {
  const ThumbDecoded d = DecodeThumb(half);
  CycleShape shape;
  switch (d.kind) {
    case ThumbKind::kArm: return ArmShape(d.arm);
    case ThumbKind::kPcRelativeLoad:
      shape.loads = 1;
      shape.internal = true;
      shape.isLoadStore = true;
      return shape;
    case ThumbKind::kConditionalBranch:
    case ThumbKind::kBranch:
    case ThumbKind::kLongBranchLow:
    case ThumbKind::kSoftwareInterrupt: shape.writesPc = true; return shape;
    default: return shape;
  }
}

}  // namespace

CycleShape ArmCpu::Shape(uint32_t instruction, bool thumb) {
  return thumb ? ThumbShape(static_cast<uint16_t>(instruction)) : ArmShape(instruction);
}

CycleShape ArmCpu::CurrentShape(uint32_t instruction) const {
  uint32_t cond = instruction >> 28;
  if (Thumb()) {
    const ThumbDecoded d = DecodeThumb(static_cast<uint16_t>(instruction));
    cond = d.kind == ThumbKind::kConditionalBranch ? d.cond : 0xEu;
  }
  return cpu::ConditionPasses(cond, cpsr_) ? Shape(instruction, Thumb()) : CycleShape{};
}

}  // namespace vsim
