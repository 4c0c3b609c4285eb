#include "cpu/arm_cpu.h"

#include "cpu/instruction_executor.h"

namespace vsim {
namespace {

constexpr uint32_t kImplementedCpsrBits = 0xF00000FFu;  // NZCV, I, F, T, mode
constexpr uint32_t kModeMask = 0x1Fu;
constexpr uint32_t kThumbBit = 0x20u;
constexpr uint32_t kFiqDisable = 0x40u;
constexpr uint32_t kIrqDisable = 0x80u;

struct ExceptionEntry {
  Mode mode;
  uint32_t vector;
  bool disablesFiq;
};

ExceptionEntry EntryFor(ArmCpu::Exception kind) {
  switch (kind) {
    case ArmCpu::Exception::kReset: return {Mode::kSupervisor, 0x00, true};
    case ArmCpu::Exception::kUndefined: return {Mode::kUndefined, 0x04, false};
    case ArmCpu::Exception::kSwi: return {Mode::kSupervisor, 0x08, false};
    case ArmCpu::Exception::kPrefetchAbort: return {Mode::kAbort, 0x0C, false};
    case ArmCpu::Exception::kDataAbort: return {Mode::kAbort, 0x10, false};
    case ArmCpu::Exception::kIrq: return {Mode::kIrq, 0x18, false};
    case ArmCpu::Exception::kFiq: return {Mode::kFiq, 0x1C, true};
  }
  return {Mode::kUndefined, 0x04, false};
}

}  // namespace

ArmCpu::ArmCpu() { Reset(); }

void ArmCpu::Reset() {
  for (auto& r : regs_) r = 0;
  for (auto& bank : banks_)
    for (auto& r : bank) r = 0;
  for (auto& s : spsr_) s = 0;
  cpsr_ = static_cast<uint32_t>(Mode::kSupervisor) | kIrqDisable | kFiqDisable;
  next_pc_ = 0;
}

ArmCpu::Bank ArmCpu::BankOf(uint32_t mode) {
  switch (static_cast<Mode>(mode & kModeMask)) {
    case Mode::kFiq: return kFiqBank;
    case Mode::kIrq: return kIrqBank;
    case Mode::kSupervisor: return kSvcBank;
    case Mode::kAbort: return kAbtBank;
    case Mode::kUndefined: return kUndBank;
    default: return kUserBank;
  }
}

int ArmCpu::SpsrIndex(uint32_t mode) {
  switch (BankOf(mode)) {
    case kFiqBank: return 0;
    case kSvcBank: return 1;
    case kAbtBank: return 2;
    case kIrqBank: return 3;
    case kUndBank: return 4;
    default: return -1;
  }
}

void ArmCpu::SaveView() {
  const Bank bank = BankOf(cpsr_);
  uint32_t* low = banks_[bank == kFiqBank ? kFiqBank : kUserBank];
  for (int r = 8; r <= 12; ++r) low[r - 8] = regs_[r];
  banks_[bank][5] = regs_[13];
  banks_[bank][6] = regs_[14];
}

void ArmCpu::LoadView() {
  const Bank bank = BankOf(cpsr_);
  const uint32_t* low = banks_[bank == kFiqBank ? kFiqBank : kUserBank];
  for (int r = 8; r <= 12; ++r) regs_[r] = low[r - 8];
  regs_[13] = banks_[bank][5];
  regs_[14] = banks_[bank][6];
}

void ArmCpu::WriteCpsr(uint32_t value) {
  value &= kImplementedCpsrBits;
  if (BankOf(value) != BankOf(cpsr_)) {
    SaveView();
    cpsr_ = value;
    LoadView();
  } else {
    cpsr_ = value;
  }
}

void ArmCpu::SetCpsr(uint32_t value) { WriteCpsr(value); }

uint32_t ArmCpu::Reg(int index) const {
  if (index == 15) return next_pc_;
  return (index >= 0 && index < 15) ? regs_[index] : 0;
}

void ArmCpu::SetReg(int index, uint32_t value) {
  if (index == 15) {
    next_pc_ = value;
  } else if (index >= 0 && index < 15) {
    regs_[index] = value;
  }
}

uint32_t ArmCpu::BankedReg(Mode mode, int index) const {
  if (index < 0 || index > 14) return 0;
  const Bank wanted = BankOf(static_cast<uint32_t>(mode));
  const Bank current = BankOf(cpsr_);
  if (index < 8 || wanted == current) return regs_[index];
  if (index < 13) {
    const bool wantedFiq = wanted == kFiqBank;
    if (wantedFiq == (current == kFiqBank)) return regs_[index];
    return banks_[wantedFiq ? kFiqBank : kUserBank][index - 8];
  }
  return banks_[wanted][index - 8];
}

void ArmCpu::SetBankedReg(Mode mode, int index, uint32_t value) {
  if (index < 0 || index > 14) return;
  const Bank wanted = BankOf(static_cast<uint32_t>(mode));
  const Bank current = BankOf(cpsr_);
  if (index < 8 || wanted == current) {
    regs_[index] = value;
  } else if (index < 13) {
    const bool wantedFiq = wanted == kFiqBank;
    if (wantedFiq == (current == kFiqBank)) {
      regs_[index] = value;
    } else {
      banks_[wantedFiq ? kFiqBank : kUserBank][index - 8] = value;
    }
  } else {
    banks_[wanted][index - 8] = value;
  }
}

uint32_t ArmCpu::Spsr(Mode mode) const {
  const int index = SpsrIndex(static_cast<uint32_t>(mode));
  return index < 0 ? cpsr_ : spsr_[index];
}

void ArmCpu::SetSpsr(Mode mode, uint32_t value) {
  const int index = SpsrIndex(static_cast<uint32_t>(mode));
  if (index >= 0) spsr_[index] = value & kImplementedCpsrBits;
}

void ArmCpu::TakeException(Exception kind, uint32_t returnAddress) {
  if (kind == Exception::kReset) {
    const uint32_t keptCpsr = cpsr_;
    WriteCpsr(static_cast<uint32_t>(Mode::kSupervisor) | kIrqDisable | kFiqDisable);
    spsr_[SpsrIndex(cpsr_)] = keptCpsr;
    next_pc_ = 0;
    return;
  }
  const ExceptionEntry entry = EntryFor(kind);
  const uint32_t savedCpsr = cpsr_;
  uint32_t newCpsr = (cpsr_ & ~(kModeMask | kThumbBit)) | static_cast<uint32_t>(entry.mode) | kIrqDisable;
  if (entry.disablesFiq) newCpsr |= kFiqDisable;
  WriteCpsr(newCpsr);
  spsr_[SpsrIndex(cpsr_)] = savedCpsr;
  regs_[14] = returnAddress;
  next_pc_ = entry.vector;
}

ExecResult ArmCpu::Step(Bus& bus) {
  ExecResult result;
  const uint32_t pc = next_pc_;
  if (fiq_ && (cpsr_ & kFiqDisable) == 0) {
    TakeException(Exception::kFiq, pc + 4);
    result.exception = true;
    return result;
  }
  if (irq_ && (cpsr_ & kIrqDisable) == 0) {
    TakeException(Exception::kIrq, pc + 4);
    result.exception = true;
    return result;
  }
  const bool privileged = CurrentMode() != Mode::kUser;
  uint32_t word = 0;
  if (!bus.Read(pc, Thumb() ? 2 : 4, AccessKind::kFetch, privileged, word)) {
    TakeException(Exception::kPrefetchAbort, pc + 4);
    result.exception = true;
    return result;
  }
  return Execute(word, pc, bus);
}

ExecResult ArmCpu::Execute(uint32_t instruction, uint32_t address, Bus& bus) {
  cpu::InstructionExecutor executor(*this, bus, address);
  return Thumb() ? executor.ExecuteThumb(static_cast<uint16_t>(instruction)) : executor.ExecuteArm(instruction);
}

}  // namespace vsim
