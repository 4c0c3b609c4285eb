// Where the core goes after the instruction at its PC: the server's single step puts
// temporary breakpoints there, since the core has no single step of its own. ARMv4T,
// ARM and Thumb state; the condition is evaluated against the CPSR flags.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace vantrel::gdb {

struct CoreSnapshot {
  std::array<uint32_t, 16> r{};  // r15: the address of the instruction about to execute
  uint32_t cpsr = 0;             // the T bit tells ARM or Thumb state
  uint32_t spsr = 0;             // for an exception return that writes the PC with S set
};

struct NextAddress {
  uint32_t address = 0;
  bool thumb = false;
};

// Reads a little-endian word at a multiple of 4; empty when the memory cannot be read.
using WordReader = std::function<std::optional<uint32_t>(uint32_t address)>;

// The address of the next instruction executed, or empty when it depends on memory
// that cannot be read. Exceptions taken by the instruction (SWI, undefined) lead to
// their vectors; interrupts are not foreseen.
std::optional<NextAddress> NextInstructionAddress(const CoreSnapshot& core, const WordReader& readWord);

}  // namespace vantrel::gdb
