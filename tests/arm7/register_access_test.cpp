// Register access by instruction injection: the exact chain-1 words, where the value is
// captured or sent, and the side effects on RegisterCache.
#include "arm7/register_access.h"

#include "arm7/instructions.h"
#include "arm7/scan_chain.h"
#include "arm7_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::arm7;

constexpr uint32_t kStmdaR0R0Word = 0xE8000001;  // STMDA r0, {r0}
constexpr uint32_t kLdmiaR0R0Word = 0xE8900001;  // LDMIA r0, {r0}

class RegisterAccessTest : public Arm7Test {
 protected:
  // Every ARM store multiple drives `value` onto the bus.
  void StoresDrive(uint32_t value) {
    target_.SetStoreSource([value](int, int) { return value; });
  }
};

TEST_F(RegisterAccessTest, PcAdjustmentIsOneWord) {
  SelectDataBusChain(core_);
  EXPECT_EQ(ArmAdjustPc(core_, -24), kOk);
  EXPECT_EQ(Ops(), OpList().Preamble().Inject(0xE24FF018 /* SUB pc, pc, #24 */).Text());

  port_.ClearLog();
  EXPECT_EQ(ArmAdjustPc(core_, 0), kInvalidParameters);
  EXPECT_EQ(ArmAdjustPc(core_, 256), kInvalidParameters);  // no 8-bit immediate for it
  EXPECT_EQ(ArmAdjustPc(core_, -256), kInvalidParameters);
  EXPECT_EQ(PortAccesses(), 0);
}

TEST_F(RegisterAccessTest, ReadOfR5CapturesTheThirdNopAfterTheStore) {
  StoresDrive(0x12345678);
  uint32_t value = 0;
  EXPECT_EQ(ArmReadRegister(core_, 5, value), kOk);
  EXPECT_EQ(value, 0x12345678u);
  const OpList expected = OpList()
                              .Preamble()
                              .Inject(0xE24FF010 /* SUB pc, pc, #16 */)
                              .Nop(2)
                              .Inject(0xE8000020 /* STMDA r0, {r5} */)
                              .Nop(3)  // the third carries r5
                              .Inject(0xE24FF00C /* SUB pc, pc, #12 */)
                              .Nop(2);
  EXPECT_EQ(Ops(), expected.Text());
  EXPECT_EQ(TraceCount("R5 = 12345678 \n"), 1);
}

OpList PsrReadSequence(uint32_t mrs, uint32_t savedR0) {
  return OpList()
      .Preamble()
      .Inject(kStmdaR0R0Word)
      .Nop(3)  // r0 saved
      .Inject(mrs)
      .Nop(2)
      .Inject(kStmdaR0R0Word)
      .Nop(3)  // the status register
      .Inject(kLdmiaR0R0Word)
      .Nop(2)
      .Inject(savedR0)  // r0 restored
      .Nop()
      .Inject(0xE24FF038 /* SUB pc, pc, #56 */)
      .Nop(2);
}

TEST_F(RegisterAccessTest, CpsrReportsTheStateAtEntryAndRestoresR0) {
  // First store: r0; second: the CPSR as the halted (ARM-state) core holds it.
  target_.SetStoreSource([](int store, int) { return store % 2 == 0 ? 0x0000AAAAu : 0x600000D3u; });
  uint32_t cpsr = 0;
  SetArmStateAtEntry(core_, 0);
  EXPECT_EQ(ArmReadRegister(core_, 16, cpsr), kOk);
  EXPECT_EQ(cpsr, 0x600000F3u);  // stopped in Thumb state
  EXPECT_EQ(Ops(), PsrReadSequence(0xE10F0000 /* MRS r0, CPSR */, 0x0000AAAA).Text());
  EXPECT_EQ(TraceCount("CPSR = 600000d3 \n"), 1);

  SetArmStateAtEntry(core_, 1);
  target_.SetStoreSource([](int store, int) { return store % 2 == 0 ? 0x0000AAAAu : 0x600000F3u; });
  EXPECT_EQ(ArmReadRegister(core_, 16, cpsr), kOk);
  EXPECT_EQ(cpsr, 0x600000D3u);
}

TEST_F(RegisterAccessTest, SpsrIsReturnedAsRead) {
  target_.SetStoreSource([](int store, int) { return store == 0 ? 0x00000001u : 0x600000F3u; });
  uint32_t spsr = 0;
  EXPECT_EQ(ArmReadRegister(core_, 17, spsr), kOk);
  EXPECT_EQ(spsr, 0x600000F3u);
  EXPECT_EQ(Ops(), PsrReadSequence(0xE14F0000 /* MRS r0, SPSR */, 0x00000001).Text());
}

OpList PsrWriteSequence(uint32_t msr, uint32_t value) {
  return OpList()
      .Preamble()
      .Inject(kLdmiaR0R0Word)
      .Nop(2)
      .Inject(value)  // into r0
      .Nop()
      .Inject(msr)
      .Nop(4)
      .Inject(0xE24FF028 /* SUB pc, pc, #40 */)
      .Nop(2);
}

TEST_F(RegisterAccessTest, CpsrWriteNeverLeavesTheCoreInThumbState) {
  EXPECT_EQ(ArmWriteRegister(core_, 16, 0x600000F3, WriteForm::kArm), kOk);
  EXPECT_EQ(Ops(), PsrWriteSequence(0xE12FF000 /* MSR CPSR_fsxc, r0 */, 0x600000D3).Text());
  EXPECT_EQ(TraceCount("reg[16] = 0x600000d3\r\n"), 1);

  port_.ClearLog();
  EXPECT_EQ(ArmWriteRegister(core_, 17, 0x600000F3, WriteForm::kArm), kOk);
  EXPECT_EQ(Ops(), PsrWriteSequence(0xE16FF000 /* MSR SPSR_fsxc, r0 */, 0x600000F3).Text());
}

TEST_F(RegisterAccessTest, PcWriteAlsoSetsTheSavedPc) {
  EXPECT_EQ(ArmWriteRegister(core_, 15, 0x00002000, WriteForm::kArm), kOk);
  const OpList expected = OpList()
                              .Preamble()
                              .Inject(0xE8908000 /* LDMIA r0, {pc} */)
                              .Nop(2)
                              .Inject(0x00002000)
                              .Nop()
                              .Inject(0xE24FF00C /* SUB pc, pc, #12 */)
                              .Nop(2);
  EXPECT_EQ(Ops(), expected.Text());
  EXPECT_EQ(RegisterCache(core_)[15], 0x00002000u);
}

TEST_F(RegisterAccessTest, OrdinaryRegisterWriteLeavesTheSavedPcAlone) {
  RegisterCache(core_)[15] = 0x1000;
  EXPECT_EQ(ArmWriteRegister(core_, 3, 0xCAFEF00D, WriteForm::kArm), kOk);
  const OpList expected = OpList()
                              .Preamble()
                              .Inject(0xE8900008 /* LDMIA r0, {r3} */)
                              .Nop(2)
                              .Inject(0xCAFEF00D)
                              .Nop()
                              .Inject(0xE24FF014 /* SUB pc, pc, #20 */)
                              .Nop(2);
  EXPECT_EQ(Ops(), expected.Text());
  EXPECT_EQ(RegisterCache(core_)[15], 0x1000u);
  EXPECT_EQ(TraceCount("reg[3] = 0xcafef00d\r\n"), 1);
}

TEST_F(RegisterAccessTest, ThumbFormLoadsOnlyR0WithoutPcAdjustment) {
  for (const WriteForm form : {WriteForm::kThumb, static_cast<WriteForm>(7)}) {
    port_.ClearLog();
    EXPECT_EQ(ArmWriteRegister(core_, 0, 0x00001234, form), kOk);
    const OpList expected = OpList()
                                .Preamble()
                                .Inject(0xC801C801 /* LDMIA r0!, {r0} */)
                                .Inject(0x46C046C0 /* MOV r8, r8 */)
                                .Inject(0x46C046C0)
                                .Inject(0x00001234)
                                .Inject(0x46C046C0);
    EXPECT_EQ(Ops(), expected.Text());
  }
  port_.ClearLog();
  trace_.clear();
  EXPECT_EQ(ArmWriteRegister(core_, 1, 0x1, WriteForm::kThumb), kInvalidParameters);
  EXPECT_EQ(PortAccesses(), 0);
  EXPECT_TRUE(trace_.empty());
}

TEST_F(RegisterAccessTest, IndexOutsideTheTablesIsRefused) {
  uint32_t value = 0x5A5A5A5A;
  for (const int index : {-1, 18, 1000}) {
    port_.ClearLog();
    EXPECT_EQ(ArmReadRegister(core_, index, value), kInvalidParameters);
    EXPECT_EQ(Ops(), OpList().Preamble().Text());
    port_.ClearLog();
    EXPECT_EQ(ArmWriteRegister(core_, index, 1, WriteForm::kArm), kInvalidParameters);
    EXPECT_EQ(ArmWriteRegister(core_, index, 1, WriteForm::kThumb), kInvalidParameters);
    EXPECT_EQ(PortAccesses(), 0);
  }
  EXPECT_EQ(value, 0x5A5A5A5Au);
  EXPECT_TRUE(trace_.empty());
}

}  // namespace
}  // namespace vantrel::test
