// Identification, debug-state entry (halt, Thumb-to-ARM switch, PC correction) and the
// two ways out, as EmbeddedICE traffic and chain-1 words.
#include "arm7/debug_state.h"

#include "arm7_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::arm7;

constexpr uint32_t kThumbNopWord = 0x46C046C0;  // MOV r8, r8, both halves
const std::string kThumbLine = "Now The Target is in Thumb Status, THUM -> ARM\n";

class DebugStateTest : public Arm7Test {};

TEST_F(DebugStateTest, IdentificationLooksAtTheLow12BitsOnly) {
  struct Case {
    uint32_t idcode;
    ResultCode result;
    int tapActive;
  };
  const Case cases[] = {
      {0x3F0F0F0F, kOk, 0}, {0x3F0F0F0E, kTargetNotFound, 1}, {0x00000000, kTargetNotFound, 1}, {0xFFFFFF0F, kOk, 0}};
  for (const Case& c : cases) {
    target_.SetIdcode(c.idcode);
    port_.ClearLog();
    EXPECT_EQ(CheckTargetId(core_), c.result) << std::hex << c.idcode;
    EXPECT_EQ(cable::TapActive(session_.Port()), c.tapActive);
    OpList expected = OpList().Reset(true).IrIdcode().Idcode();
    if (c.result == 0) expected.Reset(false);  // left in Test-Logic-Reset
    EXPECT_EQ(Ops(), expected.Text());
  }
  EXPECT_EQ(TraceCount("0x3f0f0f0f\r\n"), 1);
}

TEST_F(DebugStateTest, NoCableNoIdentification) {
  ForgetCable();
  EXPECT_EQ(ReadIdcode(core_), 0u);
  EXPECT_EQ(CheckTargetId(core_), kTargetNotFound);
  EXPECT_EQ(PortAccesses(), 0);
}

OpList ProgramWatchpointsOps(uint32_t controlAfter) {
  return OpList()
      .IceWrite(12, 0xF0)
      .IceWrite(20, 0xF0)
      .IceRead(0)
      .IceWrite(0, controlAfter)
      .IceWrite(17, 0xFFFFFFFF)
      .IceWrite(18, 0xBEBEBEBE)
      .IceWrite(19, 0)
      .IceWrite(21, 0xF7)
      .IceWrite(20, 0x1F7)
      .IceWrite(9, 0xFFFFFFFF)
      .IceWrite(11, 0xFFFFFFFF)
      .IceWrite(9, 1)
      .IceWrite(13, 0xF7)
      .IceWrite(12, 0x1F7)
      .IceRead(0)
      .IceWrite(0, controlAfter);
}

// From the status reads up to the Thumb test, for a core that is halted already.
OpList EntryStart() {
  return OpList().IceRead(1).IceRead(1).IceRead(0).IceWrite(0, 0x04).IceWrite(12, 0xF0).IceWrite(20, 0xF0).IceRead(1);
}

TEST_F(DebugStateTest, HaltedCoreIsTakenOverWithoutHaltRequest) {
  target_.SetIceRegister(1, 0x09);
  SetArmStateAtEntry(core_, 0);
  EXPECT_EQ(ArmEnterDebug(core_), 0);
  const OpList expected =
      EntryStart().Preamble().Inject(0xE24FF018 /* SUB pc, pc, #24 */).Nop(2).Append(ProgramWatchpointsOps(0x04));
  EXPECT_EQ(Ops(), expected.Text());
  EXPECT_EQ(ArmStateAtEntry(core_), 1);
  EXPECT_EQ(TraceCount("ArmEnterDebug ARMICE_DEBUG_ST = 0x00000009\r\n"), 1);
}

OpList HaltRequest() {
  return OpList()
      .IceRead(1)
      .IceRead(1)
      .IceWrite(12, 0xF0)
      .IceWrite(20, 0xF0)
      .IceWrite(9, 0xFFFFFFFF)
      .IceWrite(11, 0xFFFFFFFF)
      .IceWrite(13, 0xF6)
      .IceWrite(12, 0x1F0);
}

TEST_F(DebugStateTest, CoreThatNeverHaltsIsGivenUpAfter50Polls) {
  target_.SetIceRegister(1, 0x04);  // running
  EXPECT_EQ(ArmEnterDebug(core_), kHaltFailed);
  OpList expected = HaltRequest();
  for (int poll = 0; poll < 50; ++poll) expected.IceRead(1);
  EXPECT_EQ(Ops(), expected.Text());  // watchpoint 0 stays armed as halt request
  EXPECT_EQ(TraceCount("Waiting for the debugger to stop st = 0x00000000......\r\n"), 50);
}

TEST_F(DebugStateTest, PollingStopsAtTheHaltOrAcceptsDbgackAloneAtTheEnd) {
  struct Case {
    std::vector<uint32_t> polls;
    int result;
    int waitingLines;
  };
  std::vector<uint32_t> lastIsDbgack(49, 0x04);
  lastIsDbgack.push_back(0x01);
  std::vector<uint32_t> dbgackEarly = {0x01, 0x09};
  const Case cases[] = {{{0x04, 0x04, 0x09}, 0, 3}, {lastIsDbgack, 0, 50}, {dbgackEarly, 0, 2}};
  for (const Case& c : cases) {
    trace_.clear();
    target_.SetIceRegister(1, 0x09);
    std::vector<uint32_t> reads = {0x04, 0x04};  // the two reads before the halt request
    reads.insert(reads.end(), c.polls.begin(), c.polls.end());
    reads.push_back(0x01);  // the Thumb test after the halt: TBIT clear
    target_.QueueIceReads(1, reads);
    EXPECT_EQ(ArmEnterDebug(core_), c.result);
    int waiting = 0;
    for (const std::string& line : trace_) waiting += line.starts_with("Waiting for the debugger to stop") ? 1 : 0;
    EXPECT_EQ(waiting, c.waitingLines);
    EXPECT_EQ(ArmStateAtEntry(core_), 1);
  }
}

TEST_F(DebugStateTest, ThumbCoreIsSwitchedToArmWithR0Kept) {
  target_.SetIceRegister(1, 0x19);          // halted in Thumb state
  target_.SetChain1Capture(3, 0xDEADBEEF);  // r0, stored by the first Thumb STR
  EXPECT_EQ(ArmEnterDebug(core_), 0);
  const OpList expected = EntryStart()
                              .Preamble()
                              .Inject(0x60006000 /* STR r0, [r0] */)
                              .Inject(0x46784678 /* MOV r0, pc */)
                              .Inject(0x60006000 /* STR r0, [r0] */)
                              .Inject(kThumbNopWord)  // captures r0
                              .Inject(0x47784778 /* BX pc */)
                              .Inject(kThumbNopWord)
                              .Inject(kThumbNopWord)
                              .Nop(2)
                              .Preamble()  // r0 written back in ARM state
                              .Inject(0xE8900001 /* LDMIA r0, {r0} */)
                              .Nop(2)
                              .Inject(0xDEADBEEF)
                              .Nop()
                              .Inject(0xE24FF014 /* SUB pc, pc, #20 */)
                              .Nop(2)
                              .Preamble()
                              .Inject(0xE24FF020 /* SUB pc, pc, #32 */)
                              .Nop(2)
                              .Append(ProgramWatchpointsOps(0x04));
  EXPECT_EQ(Ops(), expected.Text());
  EXPECT_EQ(ArmStateAtEntry(core_), 0);
  EXPECT_EQ(TraceCount(kThumbLine), 1);
}

TEST_F(DebugStateTest, RestartFromZeroSendsTwoWordsThenRestart) {
  target_.SetIceRegister(0, 0x06);  // DBGRQ and INTDIS
  ArmRestartFromZero(core_);
  const OpList expected = OpList()
                              .IceWrite(12, 0xF0)
                              .IceWrite(20, 0xF0)
                              .IceRead(0)
                              .IceWrite(0, 0x04)  // DBGRQ cleared, INTDIS kept
                              .Preamble()
                              .Inject(0xE1A00000 /* MOV r0, r0 */, 1)
                              .Inject(0xE3A0F000 /* MOV pc, #0 */)
                              .Restart();
  EXPECT_EQ(Ops(), expected.Text());
}

OpList PcWrite(uint32_t value) {
  return OpList()
      .Preamble()
      .Inject(0xE8908000 /* LDMIA r0, {pc} */)
      .Nop(2)
      .Inject(value)
      .Nop()
      .Inject(0xE24FF00C)
      .Nop(2);
}

OpList WatchpointsOnInterruptsOn() {
  return OpList().IceWrite(12, 0x1F7).IceWrite(20, 0x1F7).IceRead(0).IceWrite(0, 0x00);
}

TEST_F(DebugStateTest, ArmResumeContinuesAtTheSavedPc) {
  RegisterCache(core_)[15] = 0x00008000;
  target_.SetIceRegister(0, 0x04);
  ArmResume(core_);
  const OpList expected = PcWrite(0x00007FF4)
                              .Append(WatchpointsOnInterruptsOn())
                              .Preamble()
                              .Inject(0xE1A00000)
                              .Inject(0xE1A00000, 1)
                              .Inject(0xE24FF000 /* SUB pc, pc, #0 */)
                              .Restart();
  EXPECT_EQ(Ops(), expected.Text());
  EXPECT_EQ(RegisterCache(core_)[15], 0x00008000u);
}

TEST_F(DebugStateTest, ThumbResumeBranchesToPMinus12WithR0Restored) {
  RegisterCache(core_)[15] = 0x00008000;
  SetArmStateAtEntry(core_, 0);
  target_.SetIceRegister(0, 0x04);
  target_.SetStoreSource([](int, int) { return 0x0000CAFEu; });  // r0 as read back
  ArmResume(core_);
  const OpList expected = PcWrite(0x00007FF8)
                              .Preamble()  // r0 read
                              .Inject(0xE24FF010)
                              .Nop(2)
                              .Inject(0xE8000001)
                              .Nop(3)
                              .Inject(0xE24FF00C)
                              .Nop(2)
                              .Preamble()  // r0 = P - 11: Thumb branch target P - 12
                              .Inject(0xE8900001)
                              .Nop(2)
                              .Inject(0x00007FF5)
                              .Nop()
                              .Inject(0xE24FF014)
                              .Nop(2)
                              .Preamble()
                              .Inject(0xE12FFF10 /* BX r0 */)
                              .Inject(0xE1A08008 /* MOV r8, r8 */)
                              .Inject(0xE1A08008)
                              .Preamble()  // r0 restored by a Thumb load
                              .Inject(0xC801C801 /* LDMIA r0!, {r0} */)
                              .Inject(kThumbNopWord)
                              .Inject(kThumbNopWord)
                              .Inject(0x0000CAFE)
                              .Inject(kThumbNopWord)
                              .Append(WatchpointsOnInterruptsOn())
                              .Preamble()
                              .Inject(kThumbNopWord)
                              .Inject(kThumbNopWord, 1)
                              .Inject(kThumbNopWord)
                              .Restart();
  EXPECT_EQ(Ops(), expected.Text());
  EXPECT_EQ(RegisterCache(core_)[15], 0x00008000u);
  EXPECT_EQ(TraceCount(kThumbLine), 1);
}

}  // namespace
}  // namespace vantrel::test
