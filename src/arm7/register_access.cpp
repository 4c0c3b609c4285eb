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
uint32_t StoreAndCapture(uint32_t storeInstruction) {
  Inject(storeInstruction);
  InjectNops(2);
  return Chain1Access(kNop);
}

// A load takes its data word from the fourth access; the fifth is its internal cycle.
void LoadWith(uint32_t loadInstruction, uint32_t dataWord) {
  Inject(loadInstruction);
  InjectNops(2);
  Inject(dataWord);
  Inject(kNop);
}

void AdjustPcThenNops(int amount) {
  (void)ArmAdjustPc(amount);
  InjectNops(2);
}

uint32_t ReadCoreRegister(int index) {
  AdjustPcThenNops(kBeforeRegisterRead);
  const uint32_t value = StoreAndCapture(kRegisterReadInstructions[static_cast<std::size_t>(index)]);
  Trace("R%d = %08x \n", index, value);
  AdjustPcThenNops(kAfterRegisterRead);
  return value;
}

// The status register goes through r0, which is saved first and put back afterwards.
uint32_t ReadStatusRegister(int index) {
  const uint32_t savedR0 = StoreAndCapture(kStmdaR0R0);
  Inject(kRegisterReadInstructions[static_cast<std::size_t>(index)]);
  InjectNops(2);
  const uint32_t value = StoreAndCapture(kStmdaR0R0);
  Trace(index == kRegisterCpsr ? "CPSR = %08x \n" : "SPSR = %08x \n", value);
  LoadWith(kLdmiaR0R0, savedR0);
  AdjustPcThenNops(kAfterPsrRead);
  return value;
}

void WriteRegisterArmForm(int index, uint32_t value) {
  if (index == kRegisterCpsr) value &= ~kCpsrThumbBit;  // the halted core stays in ARM state
  Trace("reg[%d] = 0x%08x\r\n", index, value);
  SelectDataBusChain();
  if (IsPsr(index)) LoadWith(kLdmiaR0R0, value);
  const uint32_t instruction = kRegisterWriteInstructions[static_cast<std::size_t>(index)];
  if (IsPsr(index)) {
    Inject(instruction);
    InjectNops(4);
  } else {
    LoadWith(instruction, value);
  }
  if (index == kRegisterPc) {
    (void)ArmAdjustPc(kAfterPcWrite);
    RegisterCache()[kSavedPcElement] = value;
  } else {
    (void)ArmAdjustPc(IsPsr(index) ? kAfterPsrWrite : kAfterRegisterWrite);
  }
  InjectNops(2);
}

// Only r0 can be loaded while the core still executes Thumb code; the load is not
// followed by a PC correction, the caller's branch comes next.
ResultCode WriteRegisterThumbForm(int index, uint32_t value) {
  if (index != 0) return kInvalidParameters;
  Trace("reg[%d] = 0x%08x\r\n", index, value);
  SelectDataBusChain();
  Inject(kThumbLdmiaR0R0);
  Inject(kThumbNop);
  Inject(kThumbNop);
  Inject(value);
  Inject(kThumbNop);
  return kOk;
}

}  // namespace

uint32_t WithStateAtEntry(uint32_t cpsr) {
  return ArmStateAtEntry() ? (cpsr & ~kCpsrThumbBit) : (cpsr | kCpsrThumbBit);
}

ResultCode ArmAdjustPc(int amount) {
  if (amount == 0 || amount < -kMaxPcAdjustment || amount > kMaxPcAdjustment) return kInvalidParameters;
  Inject(AdjustPcWord(amount));
  return kOk;
}

ResultCode ArmReadRegister(int index, uint32_t& value) {
  SelectDataBusChain();
  if (!IsRegisterIndex(index)) return kInvalidParameters;
  if (!IsPsr(index)) {
    value = ReadCoreRegister(index);
  } else {
    const uint32_t psr = ReadStatusRegister(index);
    value = index == kRegisterCpsr ? WithStateAtEntry(psr) : psr;
  }
  return kOk;
}

ResultCode ArmWriteRegister(int index, uint32_t value, WriteForm form) {
  if (!IsRegisterIndex(index)) return kInvalidParameters;
  if (form != WriteForm::kArm) return WriteRegisterThumbForm(index, value);
  WriteRegisterArmForm(index, value);
  return kOk;
}

}  // namespace vantrel::arm7
