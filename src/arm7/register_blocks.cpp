#include "arm7/register_blocks.h"

#include <cstddef>
#include <optional>

#include "arm7/injection.h"
#include "arm7/register_access.h"
#include "cable/cable_registry.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

constexpr int kStoredRegisters = 16;  // r0-r15
constexpr int kLoadedRegisters = 15;  // r0-r14
constexpr uint32_t kArmWordBytes = 4;
// The STM stores its own address + 12 as r15, where a single register read gives the
// address it was fetched at + 4.
constexpr uint32_t kStoredPcAhead = 8;
// The instruction words each sequence sends before its adjust; data, store and internal
// cycles fetch nothing.
constexpr int kBlockFetches = 3;      // STM or LDM, NOP, NOP
constexpr int kCpsrReadFetches = 4;   // MRS, STMDA, NOP, NOP
constexpr int kR0LoadFetches = 3;     // LDMIA r0, {r0}, NOP, NOP
constexpr int kCpsrWriteFetches = 8;  // LDMIA r0, {r0}, NOP, NOP, MSR, four NOPs
constexpr int kNopsAfterMsr = 4;      // as the exact CPSR write gives it

std::size_t At(int index) { return static_cast<std::size_t>(index); }

// The adjust that ends a sequence of that many fetches: it executes with the PC 8 bytes
// past its own address, and branches back to where the sequence began, so the next
// sequence finds the PC where this one did. With LastNop::kRead, every bit of the last
// NOP's scan reads the status lines (and with them the power-sense lines): under the
// fast clocks nothing else would, and a cable pulled out until a few accesses before the
// end must show.
enum class LastNop { kSent, kRead };

void AdjustBackOver(int fetches, LastNop lastNop = LastNop::kSent) {
  const auto bytes = static_cast<int>(kArmWordBytes) * fetches + 2 * static_cast<int>(kArmWordBytes);
  (void)ArmAdjustPc(-bytes);
  Inject(kNop);
  if (lastNop == LastNop::kRead) {
    (void)Chain1Access(kNop);
  } else {
    Inject(kNop);
  }
}

// LDMIA r0, {r0} takes the word in its fourth access; the fifth is its internal cycle.
void LoadR0(uint32_t value) {
  Inject(kLdmiaR0R0);
  InjectNops(2);
  Inject(value);
  Inject(kNop);
}

// MRS r0, CPSR, then STMDA r0, {r0} drives it onto the data bus: the STMDA executes in
// the cycle after the MRS, whose result is written by then. With r0 given, r0 is loaded
// back and the PC adjusted; without, the PC is left to drift (see ArmReadCpsrFast).
uint32_t ReadCpsrThroughR0(std::optional<uint32_t> r0) {
  const cable::UnreadTdoScope fastClocks;
  SelectDataBusChain();
  Inject(kMrsR0Cpsr);
  Inject(kStmdaR0R0);
  InjectNops(2);
  const uint32_t cpsr = Chain1Access(kNop);
  if (r0.has_value()) {
    LoadR0(*r0);
    AdjustBackOver(kCpsrReadFetches + kR0LoadFetches, LastNop::kRead);
  }
  Trace("CPSR = %08x \n", cpsr);
  return WithStateAtEntry(cpsr);
}

// The CPSR through r0, without its T bit: the halted core stays in ARM state.
void WriteCpsrThroughR0(uint32_t cpsr) {
  Trace("reg[%d] = 0x%08x\r\n", kRegisterCpsr, cpsr);
  LoadR0(cpsr & ~kCpsrThumbBit);
  Inject(kMsrCpsrR0);
  InjectNops(kNopsAfterMsr);
}

// LDMIA r0, {list}: the words in its 4th to (n+3)th accesses, then its internal cycle.
void LoadBlock(uint32_t instruction, const uint32_t* words, int count) {
  Inject(instruction);
  InjectNops(2);
  for (int i = 0; i < count; ++i) Inject(words[i]);
  Inject(kNop);
}

}  // namespace

void ArmReadAllRegisters(std::array<uint32_t, kRegisterCacheSize>& registers) {
  const cable::UnreadTdoScope fastClocks;
  const KeptChainSelection keptSelection;
  SelectDataBusChain();
  Inject(kStmiaR0R0ToR15);
  InjectNops(2);
  for (int index = 0; index < kStoredRegisters; ++index) registers[At(index)] = Chain1Access(kNop);
  registers[At(kRegisterPc)] -= kStoredPcAhead;
  AdjustBackOver(kBlockFetches);
  for (int index = 0; index < kStoredRegisters; ++index) Trace("R%d = %08x \n", index, registers[At(index)]);
  registers[At(kRegisterCpsr)] = ReadCpsrThroughR0(registers[0]);
}

void ArmWriteRegistersButPc(const std::array<uint32_t, kRegisterCacheSize>& registers) {
  const cable::UnreadTdoScope fastClocks;
  const KeptChainSelection keptSelection;
  SelectDataBusChain();
  WriteCpsrThroughR0(registers[At(kRegisterCpsr)]);
  LoadBlock(kLdmiaR0R0ToR14, registers.data(), kLoadedRegisters);
  AdjustBackOver(kCpsrWriteFetches + kBlockFetches);
}

void ArmWriteRegistersAndBranch(const std::array<uint32_t, kRegisterCacheSize>& registers, uint32_t target) {
  const cable::UnreadTdoScope fastClocks;
  const KeptChainSelection keptSelection;
  SelectDataBusChain();
  WriteCpsrThroughR0(registers[At(kRegisterCpsr)]);
  std::array<uint32_t, kStoredRegisters> words{};
  for (int index = 0; index < kLoadedRegisters; ++index) words[At(index)] = registers[At(index)];
  words[At(kRegisterPc)] = target;
  LoadBlock(kLdmiaR0R0ToR15, words.data(), kStoredRegisters);
}

uint32_t ArmReadCpsrFast() { return ReadCpsrThroughR0(std::nullopt); }

}  // namespace vantrel::arm7
