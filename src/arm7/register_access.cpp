#include "arm7/register_access.h"

#include "arm7/core_state.h"
#include "arm7/injection.h"
#include "platform/trace.h"

namespace vantrel::arm7 {
namespace {

// Each sequence ends with a branch back over exactly the words fetched since the last
// one, so that the core's PC does not drift from one register access to the next.
constexpr int kBeforeRegisterRead = -16;
constexpr int kAfterRegisterRead = -12;
constexpr int kAfterPsrRead = -56;
constexpr int kAfterPcWrite = -12;
constexpr int kAfterPsrWrite = -40;
constexpr int kAfterRegisterWrite = -20;

bool IsRegisterIndex(int index) { return index >= 0 && index < kRegisterIndexCount; }
bool IsPsr(int index) { return index == kRegisterCpsr || index == kRegisterSpsr; }

// A store drives its data word onto the bus in the fourth access, counting its own.
uint32_t StoreAndCapture(Arm7State& core, uint32_t storeInstruction) {
  Inject(core, storeInstruction);
  InjectNops(core, 2);
  return Chain1Access(core, kNop);
}

// A load takes its data word from the fourth access; the fifth is its internal cycle.
void LoadWith(Arm7State& core, uint32_t loadInstruction, uint32_t dataWord) {
  Inject(core, loadInstruction);
  InjectNops(core, 2);
  Inject(core, dataWord);
  Inject(core, kNop);
}

void AdjustPcThenNops(Arm7State& core, int amount) {
  (void)ArmAdjustPc(core, amount);
  InjectNops(core, 2);
}

uint32_t ReadCoreRegister(Arm7State& core, int index) {
  AdjustPcThenNops(core, kBeforeRegisterRead);
  const uint32_t value = StoreAndCapture(core, kRegisterReadInstructions[static_cast<std::size_t>(index)]);
  Trace("R%d = %08x \n", index, value);
  AdjustPcThenNops(core, kAfterRegisterRead);
  return value;
}

// The status register goes through r0, which is saved first and put back afterwards.
uint32_t ReadStatusRegister(Arm7State& core, int index) {
  const uint32_t savedR0 = StoreAndCapture(core, kStmdaR0R0);
  Inject(core, kRegisterReadInstructions[static_cast<std::size_t>(index)]);
  InjectNops(core, 2);
  const uint32_t value = StoreAndCapture(core, kStmdaR0R0);
  Trace(index == kRegisterCpsr ? "CPSR = %08x \n" : "SPSR = %08x \n", value);
  LoadWith(core, kLdmiaR0R0, savedR0);
  AdjustPcThenNops(core, kAfterPsrRead);
  return value;
}

void WriteRegisterArmForm(Arm7State& core, int index, uint32_t value) {
  if (index == kRegisterCpsr) value &= ~kCpsrThumbBit;  // the halted core stays in ARM state
  Trace("reg[%d] = 0x%08x\r\n", index, value);
  SelectDataBusChain(core);
  if (IsPsr(index)) LoadWith(core, kLdmiaR0R0, value);
  const uint32_t instruction = kRegisterWriteInstructions[static_cast<std::size_t>(index)];
  if (IsPsr(index)) {
    Inject(core, instruction);
    InjectNops(core, 4);
  } else {
    LoadWith(core, instruction, value);
  }
  if (index == kRegisterPc) {
    (void)ArmAdjustPc(core, kAfterPcWrite);
    RegisterCache(core)[kSavedPcElement] = value;
  } else {
    (void)ArmAdjustPc(core, IsPsr(index) ? kAfterPsrWrite : kAfterRegisterWrite);
  }
  InjectNops(core, 2);
}

// Only r0 can be loaded while the core still executes Thumb code; the load is not
// followed by a PC correction, the caller's branch comes next.
ResultCode WriteRegisterThumbForm(Arm7State& core, int index, uint32_t value) {
  if (index != 0) return kInvalidParameters;
  Trace("reg[%d] = 0x%08x\r\n", index, value);
  SelectDataBusChain(core);
  Inject(core, kThumbLdmiaR0R0);
  Inject(core, kThumbNop);
  Inject(core, kThumbNop);
  Inject(core, value);
  Inject(core, kThumbNop);
  return kOk;
}

}  // namespace

uint32_t WithStateAtEntry(const Arm7State& core, uint32_t cpsr) {
  return ArmStateAtEntry(core) ? (cpsr & ~kCpsrThumbBit) : (cpsr | kCpsrThumbBit);
}

ResultCode ArmAdjustPc(Arm7State& core, int amount) {
  if (amount == 0 || amount < -kMaxPcAdjustment || amount > kMaxPcAdjustment) return kInvalidParameters;
  Inject(core, AdjustPcWord(amount));
  return kOk;
}

ResultCode ArmReadRegister(Arm7State& core, int index, uint32_t& value) {
  SelectDataBusChain(core);
  if (!IsRegisterIndex(index)) return kInvalidParameters;
  if (!IsPsr(index)) {
    value = ReadCoreRegister(core, index);
  } else {
    const uint32_t psr = ReadStatusRegister(core, index);
    value = index == kRegisterCpsr ? WithStateAtEntry(core, psr) : psr;
  }
  return kOk;
}

ResultCode ArmWriteRegister(Arm7State& core, int index, uint32_t value, WriteForm form) {
  if (!IsRegisterIndex(index)) return kInvalidParameters;
  if (form != WriteForm::kArm) return WriteRegisterThumbForm(core, index, value);
  WriteRegisterArmForm(core, index, value);
  return kOk;
}

}  // namespace vantrel::arm7
