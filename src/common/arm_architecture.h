// Facts of the ARM architecture (v4T) that every layer and every core speaks in: the
// processor modes as the CPSR's mode field holds them, the register indexes the host
// uses, the CPSR bits the library looks at, and the software-breakpoint pattern. What a
// particular core needs on its scan chains to reach these lives with that core.
#pragma once

#include <cstdint>

namespace vantrel::arch {

// ---- Processor modes (the CPSR's mode field) --------------------------------------------
inline constexpr int kCurrentMode = 0;  // not a mode: the host's name for "the core's own"
inline constexpr int kUserMode = 0x10;
inline constexpr int kFiqMode = 0x11;
inline constexpr int kIrqMode = 0x12;
inline constexpr int kSupervisorMode = 0x13;
inline constexpr int kAbortMode = 0x17;
inline constexpr int kUndefinedMode = 0x1B;
inline constexpr int kSystemMode = 0x1F;  // User mode's registers, with the right to leave

// ---- CPSR bits ----------------------------------------------------------------------------
inline constexpr uint32_t kCpsrModeMask = 0x1F;
inline constexpr uint32_t kCpsrThumbBit = 0x20;  // T: the core executes Thumb code

inline constexpr uint32_t ModeOf(uint32_t cpsr) { return cpsr & kCpsrModeMask; }
inline constexpr uint32_t WithMode(uint32_t cpsr, int mode) {
  return (cpsr & ~kCpsrModeMask) | static_cast<uint32_t>(mode);
}

// ---- Register indexes: 0-15 r0 to r15, 16 the CPSR, 17 the SPSR of the current mode -------
inline constexpr int kSpIndex = 13;
inline constexpr int kLrIndex = 14;
inline constexpr int kPcIndex = 15;
inline constexpr int kCpsrIndex = 16;
inline constexpr int kSpsrIndex = 17;
inline constexpr int kRegisterIndexCount = 18;
// The halted core's registers the library keeps: r0-r15 and the CPSR, no SPSR.
inline constexpr int kCachedRegisterCount = 17;

// ---- Software breakpoints -------------------------------------------------------------------
// The word (ARM) or halfword (Thumb) put in place of an instruction; the watchpoint unit
// that detects breakpoints halts the core on its fetch.
inline constexpr uint8_t kBreakpointByte = 0xBE;
inline constexpr uint32_t kSoftwareBreakpointPattern = 0xBEBEBEBE;

}  // namespace vantrel::arch
