// Watchpoint programming, the status word and the register dump, as EmbeddedICE
// register traffic.
#include "arm7/embedded_ice.h"

#include "arm7_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::arm7;

class EmbeddedIceTest : public Arm7Test {};

TEST_F(EmbeddedIceTest, ProgramWatchpointsWritesInItsExactOrder) {
  target_.SetIceRegister(0, 0x000000C2);  // DBGRQ set, and bits above the register
  ProgramWatchpoints(core_);
  const OpList expected = OpList()
                              .IceWrite(12, 0xF0)
                              .IceWrite(20, 0xF0)
                              .IceRead(0)
                              .IceWrite(0, 0x00)  // DBGRQ and bits 6-31 cleared
                              .IceWrite(17, 0xFFFFFFFF)
                              .IceWrite(18, 0xBEBEBEBE)
                              .IceWrite(19, 0x00000000)
                              .IceWrite(21, 0xF7)
                              .IceWrite(20, 0x1F7)
                              .IceWrite(9, 0xFFFFFFFF)
                              .IceWrite(11, 0xFFFFFFFF)
                              .IceWrite(9, 0x00000001)
                              .IceWrite(13, 0xF7)
                              .IceWrite(12, 0x1F7)
                              .IceRead(0)
                              .IceWrite(0, 0x04);  // INTDIS
  EXPECT_EQ(Ops(), expected.Text());
  EXPECT_EQ(LastBreakpointPattern(core_), 0xFFFFFFFFu);
}

// Only INTDIS survives a debug control read-modify-write: the library never sets the bit
// that forces DBGACK, and a refused read (all ones) must not set it for good.
TEST_F(EmbeddedIceTest, DebugControlWritesKeepOnlyInterruptsDisabled) {
  struct Case {
    const char* what;
    void (*operation)(arm7::Arm7State& core);
    uint32_t control;  // as read
    bool refused;      // the TAP was left in Test-Logic-Reset
    uint32_t written;
  };
  const Case cases[] = {
      {"clear DBGRQ, DBGACK forced", &ClearDebugRequest, 0x3F, false, 0x04},
      {"clear DBGRQ, refused read", &ClearDebugRequest, 0x00, true, 0x00},
      {"disable interrupts, DBGACK forced", &SetInterruptsDisabled, 0x03, false, 0x04},
      {"disable interrupts, refused read", &SetInterruptsDisabled, 0x00, true, 0x04},
      {"enable interrupts, DBGACK forced", &ClearInterruptsDisabled, 0x07, false, 0x00},
      {"enable interrupts, refused read", &ClearInterruptsDisabled, 0x00, true, 0x00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    target_.SetIceRegister(0, c.control);
    cable::SetTapActive(session_.Port(), !c.refused);
    port_.ClearLog();
    c.operation(core_);
    const OpList read = c.refused ? OpList() : OpList().IceRead(0);
    EXPECT_EQ(Ops(), OpList(read).IceWrite(0, c.written).Text());
  }
}

TEST_F(EmbeddedIceTest, BreakpointPatternIsWrittenOnlyWhenItChanges) {
  SetBreakpointPattern(core_, 0, 0xDEADBEEF);
  SetBreakpointPattern(core_, 0, 0xDEADBEEF);
  EXPECT_EQ(Ops(), OpList().IceWrite(18, 0xDEADBEEF).Text());
  EXPECT_EQ(LastBreakpointPattern(core_), 0xDEADBEEFu);

  // The debug-state entry puts 0xBEBEBEBE in register 18 behind the held pattern's back.
  ProgramWatchpoints(core_);
  port_.ClearLog();
  SetBreakpointPattern(core_, 0, 0xDEADBEEF);
  EXPECT_EQ(PortAccesses(), 0);
  EXPECT_EQ(target_.IceRegister(18), 0xBEBEBEBEu);
}

TEST_F(EmbeddedIceTest, HardwareBreakpointIsReadBackAndClearingKeepsTheUnitOn) {
  SetHardwareBreakpoint(core_, 0x00008000);
  ClearHardwareBreakpoint(core_);
  EXPECT_EQ(Ops(), OpList().IceWrite(8, 0x8000).IceRead(8).IceWrite(8, 0xFFFFFFFF).IceRead(8).Text());
  EXPECT_EQ(TraceCount("Get the hardware break point 0x00008000\r\n"), 1);
  EXPECT_EQ(TraceCount("Get the hardware break point 0xffffffff\r\n"), 1);
}

TEST_F(EmbeddedIceTest, StatusWordCombinesDebugStatusStateAtEntryAndTargetState) {
  struct Case {
    uint32_t status;
    int armState;
    uint32_t targetState;
    uint32_t word;
  };
  const Case cases[] = {
      {0x19, 1, 0x300, 0x30011},                             // halted in Thumb state
      {0x09, 1, 0x400, 0x40001}, {0x01, 0, 0x400, 0x40011},  // switched to ARM at entry: still reported as Thumb
      {0x04, 1, 0x500, 0x50000},                             // running ARM code
      {0x1F, 1, 0x000, 0x00011},                             // other status bits are dropped
  };
  for (const Case& c : cases) {
    target_.SetIceRegister(1, c.status);
    SetArmStateAtEntry(core_, c.armState);
    EXPECT_EQ(ArmGetStatus(core_, c.targetState), c.word) << std::hex << c.status;
  }
  EXPECT_EQ(TraceCount("ArmGetStatus = 0x00000019\r\n"), 1);
}

TEST_F(EmbeddedIceTest, StatusWordBeforeAnyConnect) {
  cable::TapReset(session_.Port(), cable::TapResetEnd::kTestLogicReset);  // as at load: the TAP in Test-Logic-Reset
  EXPECT_EQ(ArmGetStatus(core_, 0xFF00), 0x00FF0011u);
}

TEST_F(EmbeddedIceTest, DumpReadsSixteenRegistersInOrder) {
  const int order[] = {0, 1, 4, 5, 8, 9, 10, 11, 12, 13, 16, 17, 18, 19, 20, 21};
  // The debug status has five bits: a wider value would be a lost link.
  const auto valueAt = [](int address) { return address == 1 ? 0x09u : 0xA5000000u | static_cast<uint32_t>(address); };
  for (int address = 0; address < 32; ++address) target_.SetIceRegister(address, valueAt(address));
  IceDump dump{};
  EXPECT_EQ(ReadIceRegisters(core_, dump), kOk);
  OpList expected;
  for (int i = 0; i < kIceDumpWords; ++i) {
    EXPECT_EQ(dump.words[i], valueAt(order[i])) << i;
    expected.IceRead(order[i]);
  }
  EXPECT_EQ(Ops(), expected.Text());
  static_assert(sizeof(IceDump) == 64);
}

}  // namespace
}  // namespace vantrel::test
