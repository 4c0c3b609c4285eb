#include "arm7/register_blocks.h"

#include <cstddef>
#include <optional>

#include "arm7/arm7_state.h"
#include "arm7/injection.h"
#include "arm7/register_access.h"
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

void AdjustBackOver(Arm7State& core, int fetches, LastNop lastNop = LastNop::kSent) {
  const auto bytes = static_cast<int>(kArmWordBytes) * fetches + 2 * static_cast<int>(kArmWordBytes);
  (void)ArmAdjustPc(core, -bytes);
  Inject(core, kNop);
  if (lastNop == LastNop::kRead) {
    (void)Chain1Access(core, kNop);
  } else {
    Inject(core, kNop);
  }
}

// LDMIA r0, {r0} takes the word in its fourth access; the fifth is its internal cycle.
void LoadR0(Arm7State& core, uint32_t value) {
  Inject(core, kLdmiaR0R0);
  InjectNops(core, 2);
  Inject(core, value);
  Inject(core, kNop);
}

// MRS r0, CPSR, then STMDA r0, {r0} drives it onto the data bus: the STMDA executes in
// the cycle after the MRS, whose result is written by then. With r0 given, r0 is loaded
// back and the PC adjusted; without, the PC is left to drift (see ArmReadCpsrFast).
uint32_t ReadCpsrThroughR0(Arm7State& core, std::optional<uint32_t> r0) {
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  SelectDataBusChain(core);
  Inject(core, kMrsR0Cpsr);
  Inject(core, kStmdaR0R0);
  InjectNops(core, 2);
  const uint32_t cpsr = Chain1Access(core, kNop);
  if (r0.has_value()) {
    LoadR0(core, *r0);
    AdjustBackOver(core, kCpsrReadFetches + kR0LoadFetches, LastNop::kRead);
  }
  Trace("CPSR = %08x \n", cpsr);
  return WithStateAtEntry(core, cpsr);
}

// The CPSR through r0, without its T bit: the halted core stays in ARM state.
void WriteCpsrThroughR0(Arm7State& core, uint32_t cpsr) {
  Trace("reg[%d] = 0x%08x\r\n", kRegisterCpsr, cpsr);
  LoadR0(core, cpsr & ~kCpsrThumbBit);
  Inject(core, kMsrCpsrR0);
  InjectNops(core, kNopsAfterMsr);
}

// LDMIA r0, {list}: the words in its 4th to (n+3)th accesses, then its internal cycle.
void LoadBlock(Arm7State& core, uint32_t instruction, const uint32_t* words, int count) {
  Inject(core, instruction);
  InjectNops(core, 2);
  for (int i = 0; i < count; ++i) Inject(core, words[i]);
  Inject(core, kNop);
}

}  // namespace

void ArmReadAllRegisters(Arm7State& core, std::array<uint32_t, kRegisterCacheSize>& registers) {
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  const KeptChainSelection keptSelection(core);
  SelectDataBusChain(core);
  Inject(core, kStmiaR0R0ToR15);
  InjectNops(core, 2);
  for (int index = 0; index < kStoredRegisters; ++index) registers[At(index)] = Chain1Access(core, kNop);
  registers[At(kRegisterPc)] -= kStoredPcAhead;
  AdjustBackOver(core, kBlockFetches);
  for (int index = 0; index < kStoredRegisters; ++index) Trace("R%d = %08x \n", index, registers[At(index)]);
  registers[At(kRegisterCpsr)] = ReadCpsrThroughR0(core, registers[0]);
}

void ArmWriteRegistersButPc(Arm7State& core, const std::array<uint32_t, kRegisterCacheSize>& registers) {
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  const KeptChainSelection keptSelection(core);
  SelectDataBusChain(core);
  WriteCpsrThroughR0(core, registers[At(kRegisterCpsr)]);
  LoadBlock(core, kLdmiaR0R0ToR14, registers.data(), kLoadedRegisters);
  AdjustBackOver(core, kCpsrWriteFetches + kBlockFetches);
}

void ArmWriteRegistersAndBranch(Arm7State& core, const std::array<uint32_t, kRegisterCacheSize>& registers,
                                uint32_t target) {
  const cable::UnreadTdoScope fastClocks(core.cables.Active());
  const KeptChainSelection keptSelection(core);
  SelectDataBusChain(core);
  WriteCpsrThroughR0(core, registers[At(kRegisterCpsr)]);
  std::array<uint32_t, kStoredRegisters> words{};
  for (int index = 0; index < kLoadedRegisters; ++index) words[At(index)] = registers[At(index)];
  words[At(kRegisterPc)] = target;
  LoadBlock(core, kLdmiaR0R0ToR15, words.data(), kStoredRegisters);
}

uint32_t ArmReadCpsrFast(Arm7State& core) { return ReadCpsrThroughR0(core, std::nullopt); }

}  // namespace vantrel::arm7
