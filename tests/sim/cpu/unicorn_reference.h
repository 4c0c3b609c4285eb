// libunicorn's ARMv4T model (the TI925T core) as a reference to compare the simulated
// CPU with, one instruction at a time.
#pragma once

#include <cstdint>
#include <span>
#include <string>

struct uc_struct;

namespace vsim::testing {

struct CoreState {
  uint32_t r[16] = {};  // r0-r14 as the current mode sees them, r15 the next pc
  uint32_t cpsr = 0;
  uint32_t spsr = 0;  // meaningful only in modes that have one
};

class UnicornReference {
 public:
  // Maps size bytes of RAM at base. error() tells what failed, if anything.
  UnicornReference(uint32_t base, uint32_t size);
  ~UnicornReference();
  UnicornReference(const UnicornReference&) = delete;
  UnicornReference& operator=(const UnicornReference&) = delete;

  const std::string& error() const { return error_; }
  bool WriteMemory(uint32_t address, std::span<const uint8_t> bytes);
  bool ReadMemory(uint32_t address, std::span<uint8_t> bytes);
  // Sets the mode (and so the bank) first, then registers, SPSR and pc.
  bool SetState(const CoreState& state);
  CoreState State();
  // Executes one instruction at pc in the state the T bit of the CPSR gives. A Thumb BL
  // prefix and its suffix execute together, as the reference treats them as one.
  bool Step();

 private:
  bool Check(int err, const char* what);

  uc_struct* uc_ = nullptr;
  std::string error_;
};

}  // namespace vsim::testing
