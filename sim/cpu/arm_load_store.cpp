// Single, halfword, block and swap transfers.
#include <bit>

#include "cpu/barrel_shifter.h"
#include "cpu/instruction_executor.h"

namespace vsim::cpu {
namespace {

constexpr uint32_t kPreIndex = 1u << 24;
constexpr uint32_t kUp = 1u << 23;
constexpr uint32_t kByteOrUserBank = 1u << 22;  // also the immediate flag of halfword forms
constexpr uint32_t kWriteBack = 1u << 21;
constexpr uint32_t kLoad = 1u << 20;

uint32_t SignExtend(uint32_t value, int bits) {
  const uint32_t sign = 1u << (bits - 1);
  return (value ^ sign) - sign;
}

struct Addressing {
  uint32_t address;  // where the access goes
  uint32_t updated;  // base after writeback
  bool writeBack;
};

Addressing Address(uint32_t word, uint32_t base, uint32_t offset) {
  const uint32_t updated = (word & kUp) != 0 ? base + offset : base - offset;
  const bool preIndex = (word & kPreIndex) != 0;
  return {preIndex ? updated : base, updated, !preIndex || (word & kWriteBack) != 0};
}

}  // namespace

void InstructionExecutor::SingleTransfer(uint32_t word) {
  const uint32_t rn = (word >> 16) & 0xFu, rd = (word >> 12) & 0xFu;
  uint32_t offset = word & 0xFFFu;
  if ((word & (1u << 25)) != 0) {
    offset = ShiftByImmediate(Operand(word & 0xFu), (word >> 5) & 3u, (word >> 7) & 0x1Fu, Carry()).value;
  }
  const Addressing at = Address(word, Operand(rn), offset);
  // Post-indexed with W set: LDRT/STRT, a User-mode access from any mode.
  const bool privileged = ((word & kPreIndex) == 0 && (word & kWriteBack) != 0) ? false : Privileged();
  const int size = (word & kByteOrUserBank) != 0 ? 1 : 4;
  if ((word & kLoad) != 0) {
    uint32_t value = Load(at.address, size, privileged);
    if (size == 4) value = RotateRight(value, 8u * (at.address & 3u));  // ARMv4 unaligned load
    if (at.writeBack && rn != 15) cpu_.regs_[rn] = at.updated;
    if (!data_aborted_) WriteLoaded(rd, value);  // a load into the base wins over writeback
    return;
  }
  const uint32_t value = rd == 15 ? address_ + 12 : cpu_.regs_[rd];
  Store(at.address, size, value, privileged);
  if (at.writeBack && rn != 15) cpu_.regs_[rn] = at.updated;
}

void InstructionExecutor::HalfwordTransfer(uint32_t word) {
  const uint32_t rn = (word >> 16) & 0xFu, rd = (word >> 12) & 0xFu;
  const uint32_t offset = (word & kByteOrUserBank) != 0 ? ((word >> 4) & 0xF0u) | (word & 0xFu) : Operand(word & 0xFu);
  const Addressing at = Address(word, Operand(rn), offset);
  if ((word & kLoad) == 0) {
    Store(at.address, 2, rd == 15 ? address_ + 12 : cpu_.regs_[rd], Privileged());
    if (at.writeBack && rn != 15) cpu_.regs_[rn] = at.updated;
    return;
  }
  uint32_t value = 0;
  switch ((word >> 5) & 3u) {
    case 1: value = Load(at.address, 2, Privileged()); break;
    case 2: value = SignExtend(Load(at.address, 1, Privileged()), 8); break;
    default: value = SignExtend(Load(at.address, 2, Privileged()), 16); break;
  }
  if (at.writeBack && rn != 15) cpu_.regs_[rn] = at.updated;
  if (!data_aborted_) WriteLoaded(rd, value);
}

void InstructionExecutor::BlockTransfer(uint32_t word) {
  const uint32_t rn = (word >> 16) & 0xFu;
  // An empty list transfers r15 alone but moves the base as if for sixteen registers.
  const uint32_t list = (word & 0xFFFFu) != 0 ? word & 0xFFFFu : 0x8000u;
  const uint32_t span = (word & 0xFFFFu) != 0 ? 4u * static_cast<uint32_t>(std::popcount(list)) : 0x40u;
  const uint32_t base = Operand(rn);
  const bool up = (word & kUp) != 0, pre = (word & kPreIndex) != 0;
  uint32_t address = up ? (pre ? base + 4 : base) : (pre ? base - span : base - span + 4);
  const uint32_t updated = up ? base + span : base - span;
  const bool load = (word & kLoad) != 0;
  const bool writeBack = (word & kWriteBack) != 0 && rn != 15;
  const bool userBank = (word & kByteOrUserBank) != 0 && !(load && (list & 0x8000u) != 0);
  bool first = true;
  uint32_t loadedPc = 0;
  for (uint32_t r = 0; r < 16; ++r) {
    if ((list & (1u << r)) == 0) continue;
    if (load) {
      const uint32_t value = Load(address, 4, Privileged());
      if (first && writeBack) cpu_.regs_[rn] = updated;  // a loaded base overrides this
      if (!data_aborted_) {
        if (r == 15) {
          loadedPc = value;
        } else if (userBank) {
          cpu_.SetBankedReg(Mode::kUser, static_cast<int>(r), value);
        } else {
          cpu_.regs_[r] = value;
        }
      }
    } else {
      // The base is written back after the first store, so a base stored later in the
      // list is stored updated.
      uint32_t value = address_ + 12;
      if (r != 15) value = userBank ? cpu_.BankedReg(Mode::kUser, static_cast<int>(r)) : cpu_.regs_[r];
      Store(address, 4, value, Privileged());
      if (first && writeBack) cpu_.regs_[rn] = updated;
    }
    first = false;
    address += 4;
  }
  // After an abort the base holds its written-back value, even if the list loaded it,
  // so that a handler can undo the transfer.
  if (load && data_aborted_ && writeBack) cpu_.regs_[rn] = updated;
  if (load && (list & 0x8000u) != 0 && !data_aborted_) {
    if ((word & kByteOrUserBank) != 0) cpu_.WriteCpsr(cpu_.Spsr(cpu_.CurrentMode()));
    WriteLoaded(15, loadedPc);
  }
}

void InstructionExecutor::Swap(uint32_t word) {
  const uint32_t rn = (word >> 16) & 0xFu, rd = (word >> 12) & 0xFu, rm = word & 0xFu;
  const int size = (word & kByteOrUserBank) != 0 ? 1 : 4;
  const uint32_t address = Operand(rn);
  uint32_t value = Load(address, size, Privileged());
  if (size == 4) value = RotateRight(value, 8u * (address & 3u));
  // The write cycle follows even when the read aborted, as on the bus of the real core.
  Store(address, size, Operand(rm), Privileged());
  if (!data_aborted_) WriteLoaded(rd, value);
}

}  // namespace vsim::cpu
