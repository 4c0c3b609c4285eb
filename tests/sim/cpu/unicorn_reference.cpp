#include "unicorn_reference.h"

#include <unicorn/unicorn.h>

namespace vsim::testing {
namespace {

constexpr int kRegisters[15] = {
    UC_ARM_REG_R0,  UC_ARM_REG_R1,  UC_ARM_REG_R2,  UC_ARM_REG_R3,  UC_ARM_REG_R4,
    UC_ARM_REG_R5,  UC_ARM_REG_R6,  UC_ARM_REG_R7,  UC_ARM_REG_R8,  UC_ARM_REG_R9,
    UC_ARM_REG_R10, UC_ARM_REG_R11, UC_ARM_REG_R12, UC_ARM_REG_R13, UC_ARM_REG_R14,
};
constexpr uint32_t kThumbBit = 0x20;

}  // namespace

UnicornReference::UnicornReference(uint32_t base, uint32_t size) {
  if (!Check(uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_), "uc_open")) return;
  // Without this the engine silently models a Cortex-A15.
  if (!Check(uc_ctl_set_cpu_model(uc_, UC_CPU_ARM_TI925T), "select the ARMv4T model")) return;
  Check(uc_mem_map(uc_, base, size, UC_PROT_ALL), "uc_mem_map");
}

UnicornReference::~UnicornReference() {
  if (uc_ != nullptr) uc_close(uc_);
}

bool UnicornReference::Check(int err, const char* what) {
  if (err == UC_ERR_OK) return true;
  if (error_.empty()) error_ = std::string(what) + ": " + uc_strerror(static_cast<uc_err>(err));
  return false;
}

bool UnicornReference::WriteMemory(uint32_t address, std::span<const uint8_t> bytes) {
  return Check(uc_mem_write(uc_, address, bytes.data(), bytes.size()), "uc_mem_write");
}

bool UnicornReference::ReadMemory(uint32_t address, std::span<uint8_t> bytes) {
  return Check(uc_mem_read(uc_, address, bytes.data(), bytes.size()), "uc_mem_read");
}

bool UnicornReference::SetState(const CoreState& state) {
  uint32_t cpsr = state.cpsr & ~kThumbBit;  // the state follows bit 0 of the start address
  bool ok = Check(uc_reg_write(uc_, UC_ARM_REG_CPSR, &cpsr), "write CPSR");
  for (int i = 0; i < 15; ++i) ok = ok && Check(uc_reg_write(uc_, kRegisters[i], &state.r[i]), "write register");
  uint32_t spsr = state.spsr;
  ok = ok && Check(uc_reg_write(uc_, UC_ARM_REG_SPSR, &spsr), "write SPSR");
  // Bit 0 of a pc write selects Thumb state.
  uint32_t pc = state.r[15] | ((state.cpsr & kThumbBit) != 0 ? 1u : 0u);
  return ok && Check(uc_reg_write(uc_, UC_ARM_REG_PC, &pc), "write pc");
}

CoreState UnicornReference::State() {
  CoreState state;
  for (int i = 0; i < 15; ++i) Check(uc_reg_read(uc_, kRegisters[i], &state.r[i]), "read register");
  Check(uc_reg_read(uc_, UC_ARM_REG_PC, &state.r[15]), "read pc");
  Check(uc_reg_read(uc_, UC_ARM_REG_CPSR, &state.cpsr), "read CPSR");
  Check(uc_reg_read(uc_, UC_ARM_REG_SPSR, &state.spsr), "read SPSR");
  return state;
}

bool UnicornReference::Step() {
  uint32_t pc = 0, cpsr = 0;
  Check(uc_reg_read(uc_, UC_ARM_REG_PC, &pc), "read pc");
  Check(uc_reg_read(uc_, UC_ARM_REG_CPSR, &cpsr), "read CPSR");
  const uint32_t begin = (cpsr & kThumbBit) != 0 ? pc | 1u : pc;
  return Check(uc_emu_start(uc_, begin, 0, 0, 1), "step");
}

}  // namespace vsim::testing
