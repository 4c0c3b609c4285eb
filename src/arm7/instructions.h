// Every value the debug core puts on the wire, with a name: the JTAG instruction codes,
// the scan-chain layouts, the EmbeddedICE register map and watchpoint settings, and the
// ARM and Thumb instruction words that are injected into the halted core. Thumb words
// carry the 16-bit instruction in both halves, so either halfword the core fetches works.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/arm_architecture.h"

namespace vantrel::arm7 {

// ---- JTAG instruction register ---------------------------------------------------------
inline constexpr int kIrLength = 4;
inline constexpr uint32_t kIrScanN = 0x2;    // selects a scan chain (4-bit data register)
inline constexpr uint32_t kIrRestart = 0x4;  // leaves debug state; always scanned to Run-Test/Idle
inline constexpr uint32_t kIrIntest = 0xC;   // connects the chain last selected
inline constexpr uint32_t kIrIdcode = 0xE;   // the 32-bit identification register

// ---- Scan chains -----------------------------------------------------------------------
inline constexpr int kChainSelectBits = 4;
inline constexpr int kDataBusChain = 1;      // BREAKPT + D31..D0
inline constexpr int kEmbeddedIceChain = 2;  // data 0-31, address 32-36, write 37
inline constexpr int kDataBusChainBits = 33;
inline constexpr int kIceChainBits = 38;
inline constexpr int kIceAddressAndRwBits = 6;
inline constexpr int kIceDataBits = 32;
inline constexpr uint32_t kIceWriteFlag = 0x20;  // bit 37 seen from the address word
inline constexpr int kIdcodeBits = 32;

// ---- EmbeddedICE register addresses ------------------------------------------------------
inline constexpr int kIceDebugControl = 0;
inline constexpr int kIceDebugStatus = 1;
inline constexpr int kIceCommsControl = 4;
inline constexpr int kIceCommsData = 5;
inline constexpr int kIceWatchpoint0 = 8;   // base of watchpoint 0's six registers
inline constexpr int kIceWatchpoint1 = 16;  // base of watchpoint 1's six registers
// Offsets of a watchpoint unit's registers from its base.
inline constexpr int kWpAddressValue = 0;
inline constexpr int kWpAddressMask = 1;
inline constexpr int kWpDataValue = 2;
inline constexpr int kWpDataMask = 3;
inline constexpr int kWpControlValue = 4;
inline constexpr int kWpControlMask = 5;

inline constexpr int kWp0AddressValue = kIceWatchpoint0 + kWpAddressValue;  // 8
inline constexpr int kWp0AddressMask = kIceWatchpoint0 + kWpAddressMask;    // 9
inline constexpr int kWp0DataMask = kIceWatchpoint0 + kWpDataMask;          // 11
inline constexpr int kWp0ControlValue = kIceWatchpoint0 + kWpControlValue;  // 12
inline constexpr int kWp0ControlMask = kIceWatchpoint0 + kWpControlMask;    // 13
inline constexpr int kWp1AddressValue = kIceWatchpoint1 + kWpAddressValue;  // 16
inline constexpr int kWp1AddressMask = kIceWatchpoint1 + kWpAddressMask;    // 17
inline constexpr int kWp1DataValue = kIceWatchpoint1 + kWpDataValue;        // 18
inline constexpr int kWp1DataMask = kIceWatchpoint1 + kWpDataMask;          // 19
inline constexpr int kWp1ControlValue = kIceWatchpoint1 + kWpControlValue;  // 20
inline constexpr int kWp1ControlMask = kIceWatchpoint1 + kWpControlMask;    // 21

// ---- Debug status and debug control bits -------------------------------------------------
inline constexpr uint32_t kStatusDbgAck = 0x01;  // the core is in debug state
inline constexpr uint32_t kStatusNmreq = 0x08;   // no memory request in progress
inline constexpr uint32_t kStatusTbit = 0x10;    // the core is in Thumb state
inline constexpr uint32_t kHaltedMask = kStatusDbgAck | kStatusNmreq;
inline constexpr uint32_t kStatusHalted = kHaltedMask;  // status AND kHaltedMask of a halted core

inline constexpr uint32_t kControlIntdis = 0x04;

// ---- Watchpoint settings -------------------------------------------------------------------
// Control bits: 0 nRW, 1-2 MAS, 3 nOPC, 4 nTRANS, 5 EXTERN, 6 CHAIN, 7 RANGE, 8 ENABLE;
// a mask bit of 1 leaves that bit out of the comparison.
inline constexpr uint32_t kWpControlOff = 0xF0;
inline constexpr uint32_t kWpControlNextFetch = 0x1F0;  // with kWpMaskReadFetch: halt request
inline constexpr uint32_t kWpControlFetch = 0x1F7;      // with kWpMaskFetch: breakpoints
inline constexpr uint32_t kWpMaskReadFetch = 0xF6;      // compare nRW and nOPC
inline constexpr uint32_t kWpMaskFetch = 0xF7;          // compare nOPC only
inline constexpr uint32_t kCompareNoBit = 0xFFFFFFFF;
inline constexpr uint32_t kCompareAllButBit0 = 0x00000001;
inline constexpr uint32_t kCompareEveryBit = 0x00000000;
// Address value 0 with this mask: the fetches of the eight exception vectors.
inline constexpr uint32_t kCompareVectorAddresses = 0x0000001F;
using arch::kSoftwareBreakpointPattern;
inline constexpr uint32_t kNoBreakpointAddress = 0xFFFFFFFF;

// ---- Identification code -----------------------------------------------------------------
inline constexpr uint32_t kIdcodeCheckMask = 0xFFF;
inline constexpr uint32_t kIdcodeExpected = 0xF0F;

// ---- ARM instruction words -------------------------------------------------------------------
inline constexpr uint32_t kNop = 0xE1A00000;             // MOV r0, r0
inline constexpr uint32_t kLdrR0Pc = 0xE59F0000;         // LDR r0, [pc]
inline constexpr uint32_t kLdmiaR0ToR8 = 0xE89001FF;     // LDMIA r0, {r0-r8}
inline constexpr uint32_t kStmiaR0R1ToR8 = 0xE8A001FE;   // STMIA r0!, {r1-r8}
inline constexpr uint32_t kStmdaR0 = 0xE8000000;         // STMDA r0, {<list>}
inline constexpr uint32_t kLdmiaR0 = 0xE8900000;         // LDMIA r0, {<list>}
inline constexpr uint32_t kStmiaR0 = 0xE8800000;         // STMIA r0, {<list>}
inline constexpr uint32_t kLdmiaR0Wb = 0xE8B00000;       // LDMIA r0!, {<list>}
inline constexpr uint32_t kStmiaR0Wb = 0xE8A00000;       // STMIA r0!, {<list>}
inline constexpr uint32_t kSubPcPc = 0xE24FF000;         // SUB pc, pc, #<imm8>
inline constexpr uint32_t kAddPcPc = 0xE28FF000;         // ADD pc, pc, #<imm8>
inline constexpr uint32_t kMrsR0Cpsr = 0xE10F0000;       // MRS r0, CPSR
inline constexpr uint32_t kMrsR0Spsr = 0xE14F0000;       // MRS r0, SPSR
inline constexpr uint32_t kMsrCpsrR0 = 0xE12FF000;       // MSR CPSR_fsxc, r0
inline constexpr uint32_t kMsrSpsrR0 = 0xE16FF000;       // MSR SPSR_fsxc, r0
inline constexpr uint32_t kMovPcZero = 0xE3A0F000;       // MOV pc, #0
inline constexpr uint32_t kBxR0 = 0xE12FFF10;            // BX r0
inline constexpr uint32_t kMovR8R8 = 0xE1A08008;         // MOV r8, r8
inline constexpr uint32_t kStmdaR0R0 = 0xE8000001;       // STMDA r0, {r0}
inline constexpr uint32_t kLdmiaR0R0 = 0xE8900001;       // LDMIA r0, {r0}
inline constexpr uint32_t kStmiaR0R0ToR15 = 0xE880FFFF;  // STMIA r0, {r0-r15}
inline constexpr uint32_t kLdmiaR0R0ToR14 = 0xE8907FFF;  // LDMIA r0, {r0-r14}
inline constexpr uint32_t kLdmiaR0R0ToR15 = 0xE890FFFF;  // LDMIA r0, {r0-r15}
inline constexpr uint32_t kLdmiaR0R1R2Pc = 0xE8908006;   // LDMIA r0, {r1, r2, pc}

// ---- Thumb instruction words (both halves) -----------------------------------------------------
inline constexpr uint32_t kThumbStrR0AtR0 = 0x60006000;  // STR r0, [r0]
inline constexpr uint32_t kThumbMovR0Pc = 0x46784678;    // MOV r0, pc
inline constexpr uint32_t kThumbNop = 0x46C046C0;        // MOV r8, r8
inline constexpr uint32_t kThumbBxPc = 0x47784778;       // BX pc
inline constexpr uint32_t kThumbLdmiaR0R0 = 0xC801C801;  // LDMIA r0!, {r0}

// ---- Registers ---------------------------------------------------------------------------------
inline constexpr int kRegisterPc = arch::kPcIndex;
inline constexpr int kRegisterCpsr = arch::kCpsrIndex;
inline constexpr int kRegisterSpsr = arch::kSpsrIndex;
inline constexpr int kRegisterIndexCount = arch::kRegisterIndexCount;  // r0-r15, CPSR, SPSR
using arch::kCpsrThumbBit;

// ---- Encoders ------------------------------------------------------------------------------------
// The register list bits of r1 to r<count> (count 1 to 14): (2 << count) - 2.
constexpr uint32_t LowRegisterList(int count) { return (2u << count) - 2u; }

// LDMIA r0, {r1-r<count>} and STMIA r0, {r1-r<count>}.
constexpr uint32_t LdmiaR0LowRegisters(int count) { return kLdmiaR0 | LowRegisterList(count); }
constexpr uint32_t StmiaR0LowRegisters(int count) { return kStmiaR0 | LowRegisterList(count); }
// The same with r0 moved past the words: LDMIA r0!, {...} and STMIA r0!, {...}.
constexpr uint32_t LdmiaR0WbLowRegisters(int count) { return kLdmiaR0Wb | LowRegisterList(count); }
constexpr uint32_t StmiaR0WbLowRegisters(int count) { return kStmiaR0Wb | LowRegisterList(count); }

// SUB pc, pc, #-amount for a negative amount, ADD pc, pc, #amount for a positive one;
// amount is 1 to 255 bytes either way (the unrotated 8-bit immediate).
constexpr uint32_t AdjustPcWord(int amount) {
  return amount < 0 ? kSubPcPc + static_cast<uint32_t>(-amount) : kAddPcPc + static_cast<uint32_t>(amount);
}
inline constexpr int kMaxPcAdjustment = 255;

namespace detail {
constexpr std::array<uint32_t, kRegisterIndexCount> BuildRegisterTable(uint32_t transfer, uint32_t cpsr,
                                                                       uint32_t spsr) {
  std::array<uint32_t, kRegisterIndexCount> table{};
  for (int index = 0; index < 16; ++index) table[static_cast<std::size_t>(index)] = transfer | (1u << index);
  table[kRegisterCpsr] = cpsr;
  table[kRegisterSpsr] = spsr;
  return table;
}
}  // namespace detail

// Indexed by register index: STMDA r0, {r<i>} for r0-r15, MRS r0, CPSR / SPSR.
inline constexpr std::array<uint32_t, kRegisterIndexCount> kRegisterReadInstructions =
    detail::BuildRegisterTable(kStmdaR0, kMrsR0Cpsr, kMrsR0Spsr);
// Indexed by register index: LDMIA r0, {r<i>} for r0-r15, MSR CPSR_fsxc / SPSR_fsxc, r0.
inline constexpr std::array<uint32_t, kRegisterIndexCount> kRegisterWriteInstructions =
    detail::BuildRegisterTable(kLdmiaR0, kMsrCpsrR0, kMsrSpsrR0);

// The four bytes of a memory word reversed (big-endian targets).
constexpr uint32_t ReverseBytes(uint32_t word) {
  return (word >> 24) | ((word >> 8) & 0x0000FF00u) | ((word << 8) & 0x00FF0000u) | (word << 24);
}

}  // namespace vantrel::arm7
