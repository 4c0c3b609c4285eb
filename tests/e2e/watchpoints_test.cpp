// The watchpoint units lent to the host on a program running on the board
// (breakpoint_target.S): data watchpoints of each kind stopping after the access that
// matched, a further hardware breakpoint, the refusal when no unit is free, and the
// stop reason that tells the host which unit hit.
#include <cstring>

#include "breakpoint_program.h"

namespace vantrel::e2e {
namespace {

using test::ResponseText;

constexpr uint32_t kArmCompare = 0x20044;   // CMP r0, #10
constexpr uint32_t kAfterArmStore = 0x20054;  // after STR r1, [r2] to kArmResult
constexpr uint32_t kArmLiteral = 0x2005C;   // read by LDR r3 at 0x20054
constexpr uint32_t kAfterLiteralLoad = 0x20058;
constexpr uint32_t kThumbSum = 0x20106;        // ADDS r5, r5, r4
constexpr uint32_t kAfterThumbStore = 0x20110;  // after STR r5, [r6] to kThumbResult
constexpr uint32_t kThumbDone = 0x20200;
constexpr uint32_t kAfterDoneStore = 0x20206;   // after STR r7, [r6] to kDoneMarker

constexpr char kNoUnitFree[] = "no watchpoint unit free: both hold breakpoints or watchpoints";

struct Watch {
  uint32_t address;
  uint32_t ignoredBits;
  int32_t size;
  int32_t access;
  int32_t placement = VANTREL_PLACE_ANY;
};

class WatchpointTest : public BreakpointProgramTest {
 protected:
  JtagResponse SetWatch(const Watch& watch) {
    JtagRequest request = test::EmptyRequest();
    request.args.watchpoint.address = watch.address;
    request.args.watchpoint.ignoredBits = watch.ignoredBits;
    request.args.watchpoint.size = watch.size;
    request.args.watchpoint.access = watch.access;
    request.args.watchpoint.placement = watch.placement;
    return Call(VANTREL_CMD_SET_WATCHPOINT, request);
  }
  JtagResponse SetUnitBreak(uint32_t address, int32_t placement = VANTREL_PLACE_ANY) {
    JtagRequest request = test::EmptyRequest();
    request.args.unitBreak.address = address;
    request.args.unitBreak.placement = placement;
    return Call(VANTREL_CMD_SET_UNIT_BREAK, request);
  }
  JtagResponse ClearUnit(int32_t unit) {
    JtagRequest request = test::EmptyRequest();
    request.args.unit.unit = unit;
    return Call(VANTREL_CMD_CLEAR_UNIT, request);
  }
  VantrelStopReason StopReason() {
    const JtagResponse response = Call(VANTREL_CMD_GET_STOP_REASON);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK);
    EXPECT_EQ(response.length, static_cast<int32_t>(sizeof(VantrelStopReason)));
    VantrelStopReason reason{};
    std::memcpy(&reason, response.data, sizeof reason);
    return reason;
  }

  // The unit a set command answered, -1 when it was refused.
  static int32_t AnsweredUnit(const JtagResponse& response) {
    if (response.status != VANTREL_STATUS_OK || response.length != 4) return -1;
    return static_cast<int32_t>(ResponseWords(response).at(0));
  }
};

TEST_F(WatchpointTest, DataWatchpointStopsAfterTheMatchingAccessOnly) {
  struct Case {
    Watch watch;
    uint32_t stopPc;
  };
  const Case cases[] = {
      {{kArmResult, 0, 4, VANTREL_WATCH_WRITE}, kAfterArmStore},
      {{kArmLiteral, 0, 4, VANTREL_WATCH_READ}, kAfterLiteralLoad},
      {{kThumbResult, 0, 0, VANTREL_WATCH_WRITE}, kAfterThumbStore},
      {{kDoneMarker, 0, 4, VANTREL_WATCH_ACCESS}, kAfterDoneStore},
      {{kThumbResult + 8, 0xF, 0, VANTREL_WATCH_ACCESS}, kAfterArmStore},  // the block 0x31000-0x3100F
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "watch 0x" << c.watch.address << " access " << c.watch.access);
    ASSERT_EQ(Reconnect().status, VANTREL_STATUS_OK);
    LoadProgram();
    ASSERT_EQ(AnsweredUnit(SetWatch(c.watch)), 1);
    // The host's own reads and writes of the watched word while the core is halted
    // must not trip the watchpoint.
    const std::vector<uint8_t> before = BoardBytes(c.watch.address & ~3u, 4);
    std::vector<uint8_t> read(4);
    ASSERT_EQ(ReadMemory(c.watch.address & ~3u, read.data(), 4).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WriteMemory(c.watch.address & ~3u, before).status, VANTREL_STATUS_OK);

    EXPECT_EQ(RunUntilHalted(), c.stopPc);
    const VantrelStopReason reason = StopReason();
    EXPECT_EQ(reason.reason, VANTREL_STOP_WATCHPOINT);
    EXPECT_EQ(reason.unit, 1);
    EXPECT_EQ(reason.units, 2u);
    EXPECT_EQ(reason.address, c.watch.address);
    EXPECT_EQ(reason.access, c.watch.access);
    ASSERT_EQ(ClearUnit(1).status, VANTREL_STATUS_OK);
    RunToCompletion();
  }
}

TEST_F(WatchpointTest, WatchesOfAnotherKindOrWidthLetTheProgramRun) {
  ASSERT_EQ(AnsweredUnit(SetWatch({kArmLiteral, 0, 4, VANTREL_WATCH_WRITE})), 1);
  ASSERT_EQ(AnsweredUnit(SetWatch({kThumbResult, 0, 2, VANTREL_WATCH_WRITE})), 0);  // a word is stored
  RunToCompletion();
}

TEST_F(WatchpointTest, UnitsAreSharedAndRefusedWhenNoneIsFree) {
  ASSERT_EQ(SetHardwareBreak(kArmCompare).status, VANTREL_STATUS_OK);
  ASSERT_EQ(AnsweredUnit(SetUnitBreak(kThumbSum)), 1);
  for (const JtagResponse& refused :
       {SetWatch({kArmResult, 0, 4, VANTREL_WATCH_WRITE}), SetUnitBreak(kThumbDone), SetSoftwareBreak(kThumbDone)}) {
    EXPECT_EQ(refused.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(ResponseText(refused), kNoUnitFree);
  }
  EXPECT_EQ(BoardBytes(kProgram, image_.size()), image_) << "the refused software breakpoint wrote nothing";

  EXPECT_EQ(RunUntilHalted(), kArmCompare);
  VantrelStopReason reason = StopReason();
  EXPECT_EQ(reason.reason, VANTREL_STOP_HARDWARE_BREAKPOINT);
  EXPECT_EQ(reason.unit, 0);
  EXPECT_EQ(reason.address, kArmCompare);
  ASSERT_EQ(ClearHardwareBreak().status, VANTREL_STATUS_OK);
  EXPECT_EQ(RunUntilHalted(), kThumbSum);
  reason = StopReason();
  EXPECT_EQ(reason.reason, VANTREL_STOP_HARDWARE_BREAKPOINT);
  EXPECT_EQ(reason.unit, 1);
  EXPECT_EQ(reason.address, kThumbSum);

  // With unit 0 free of the hardware breakpoint, a lent unit may take it; the hardware
  // breakpoint is then refused until the unit comes back.
  ASSERT_EQ(ClearUnit(1).status, VANTREL_STATUS_OK);
  ASSERT_EQ(AnsweredUnit(SetWatch({kDoneMarker, 0, 4, VANTREL_WATCH_WRITE})), 1);
  ASSERT_EQ(AnsweredUnit(SetUnitBreak(kThumbDone)), 0);
  EXPECT_EQ(ResponseText(SetHardwareBreak(kArmCompare)), kNoUnitFree);
  EXPECT_EQ(RunUntilHalted(), kThumbDone);
  EXPECT_EQ(StopReason().unit, 0);
  ASSERT_EQ(ClearUnit(0).status, VANTREL_STATUS_OK);  // a fetch breakpoint under the PC would stop at once
  EXPECT_EQ(RunUntilHalted(), kAfterDoneStore);
  reason = StopReason();
  EXPECT_EQ(reason.reason, VANTREL_STOP_WATCHPOINT);
  EXPECT_EQ(reason.unit, 1);

  // A host that writes its own patterns places its units: unit 0 only, or unit 1 only.
  ASSERT_EQ(ClearUnit(1).status, VANTREL_STATUS_OK);
  ASSERT_EQ(AnsweredUnit(SetWatch({kDoneMarker, 0, 4, VANTREL_WATCH_WRITE, VANTREL_PLACE_UNIT0})), 0);
  EXPECT_EQ(ResponseText(SetUnitBreak(kThumbSum, VANTREL_PLACE_UNIT0)), kNoUnitFree);
  EXPECT_EQ(AnsweredUnit(SetUnitBreak(kThumbSum, VANTREL_PLACE_UNIT1)), 1);

  // A disconnect gives both units back: the breakpoints of both kinds work again.
  ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
  EXPECT_EQ(SetHardwareBreak(kArmCompare).status, VANTREL_STATUS_OK);
  EXPECT_EQ(board().IceRegister(8), kArmCompare);
  EXPECT_EQ(SetSoftwareBreak(kThumbDone).status, VANTREL_STATUS_OK);
}

TEST_F(WatchpointTest, AConnectAfterADisconnectThatCouldNotHaltGivesTheUnitsBack) {
  ASSERT_EQ(AnsweredUnit(SetWatch({kArmResult, 0, 4, VANTREL_WATCH_WRITE})), 1);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  board().SetCoreNeverHalts(true);
  EXPECT_EQ(Disconnect().status, VANTREL_STATUS_WARNING);
  board().SetCoreNeverHalts(false);
  ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
  EXPECT_EQ(StopReason().reason, VANTREL_STOP_NONE);
  EXPECT_EQ(SetSoftwareBreak(kThumbDone).status, VANTREL_STATUS_OK) << "unit 1 detects the patterns again";
  EXPECT_EQ(board().IceRegister(20), 0x1F7u);
}

TEST_F(WatchpointTest, StopReasonOfTheHostsStop) {
  EXPECT_EQ(StopReason().reason, VANTREL_STOP_NONE);
  ASSERT_EQ(AnsweredUnit(SetWatch({kArmLiteral, 0, 4, VANTREL_WATCH_WRITE})), 1);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(10000);
  EXPECT_EQ(StopReason().reason, VANTREL_STOP_NONE) << "no reason while the core runs";
  ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
  EXPECT_EQ(StopReason().reason, VANTREL_STOP_REQUESTED);
}

TEST_F(WatchpointTest, BadRequestsAreRefused) {
  const Watch badWatches[] = {
      {kArmResult, 0, 3, VANTREL_WATCH_WRITE},     {kArmResult, 0, 8, VANTREL_WATCH_WRITE},
      {kArmResult + 2, 0, 4, VANTREL_WATCH_WRITE}, {kArmResult + 1, 0, 2, VANTREL_WATCH_READ},
      {kArmResult, 0, -1, VANTREL_WATCH_WRITE},    {kArmResult, 0, 4, 3},
      {kArmResult, 0, 4, -1},
  };
  for (const Watch& watch : badWatches) {
    const JtagResponse response = SetWatch(watch);
    EXPECT_EQ(response.status, VANTREL_STATUS_FAILED) << watch.size << " " << watch.access;
    EXPECT_EQ(ResponseText(response), "invalid parameters are used");
  }
  EXPECT_EQ(ResponseText(SetWatch({kArmResult, 0, 4, VANTREL_WATCH_WRITE, 3})), "invalid parameters are used");
  EXPECT_EQ(ResponseText(SetUnitBreak(kThumbSum, -1)), "invalid parameters are used");
  EXPECT_EQ(ResponseText(SetUnitBreak(kThumbSum + 1)), "invalid parameters are used");
  EXPECT_EQ(ResponseText(ClearUnit(2)), "invalid parameters are used");
  EXPECT_EQ(ResponseText(ClearUnit(-1)), "invalid parameters are used");
  EXPECT_EQ(ClearUnit(0).status, VANTREL_STATUS_OK) << "a unit not in use: nothing to clear";

  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  EXPECT_EQ(ResponseText(SetWatch({kArmResult, 0, 4, VANTREL_WATCH_WRITE})), "status error");
  EXPECT_EQ(ResponseText(SetUnitBreak(kThumbSum)), "status error");
  EXPECT_EQ(ResponseText(ClearUnit(1)), "status error");
}

}  // namespace
}  // namespace vantrel::e2e
