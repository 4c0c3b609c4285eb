// Breakpoints on a program running on the board (breakpoint_target.S): the hardware
// breakpoint, software breakpoints in ARM code and at both halfword positions of Thumb
// code, and the word each one displaces coming back.
#include "breakpoint_program.h"

namespace vantrel::e2e {
namespace {

using test::ResponseText;

constexpr uint32_t kArmLoop = 0x2003C;
constexpr uint32_t kArmSum = 0x20040;      // ADD r1, r1, r0
constexpr uint32_t kArmCompare = 0x20044;  // CMP r0, #10
constexpr uint32_t kThumbCode = 0x20100;
constexpr uint32_t kThumbCount = 0x20104;  // ADDS r4, #1 (at a multiple of 4)
constexpr uint32_t kThumbSum = 0x20106;    // ADDS r5, r5, r4

class BreakpointTest : public BreakpointProgramTest {
 protected:
  uint32_t Register(const std::string& name) {
    const JtagResponse response = ReadRegistersByNames({name});
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
    return ResponseWords(response).at(0);
  }

  std::vector<uint8_t> ImageBytes(uint32_t address, std::size_t count) const {
    const auto offset = static_cast<std::ptrdiff_t>(address - kProgram);
    return {image_.begin() + offset, image_.begin() + offset + static_cast<std::ptrdiff_t>(count)};
  }

  // Sets a software breakpoint and checks the displaced word it answers.
  std::vector<uint8_t> SetSoftware(uint32_t address) {
    const JtagResponse response = SetSoftwareBreak(address);
    EXPECT_EQ(response.echo, 0);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
    EXPECT_EQ(response.length, 4);
    std::vector<uint8_t> displaced(response.data, response.data + 4);
    EXPECT_EQ(displaced, ImageBytes(address & ~3u, 4));
    return displaced;
  }

  void ClearSoftware(uint32_t address, const std::vector<uint8_t>& displaced) {
    const JtagResponse response = ClearSoftwareBreak(address, displaced.data());
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
    EXPECT_EQ(BoardBytes(kProgram, image_.size()), image_) << "memory restored byte for byte";
  }
};

TEST_F(BreakpointTest, HardwareBreakpointMovesStopsThereAndClears) {
  JtagResponse response = SetHardwareBreak(kArmSum);
  EXPECT_EQ(response.echo, VANTREL_CMD_SET_HARDWARE_BREAK);
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  ASSERT_EQ(SetHardwareBreak(kArmCompare).status, VANTREL_STATUS_OK);
  EXPECT_EQ(board().IceRegister(8), kArmCompare);

  EXPECT_EQ(RunUntilHalted(), kArmCompare);
  EXPECT_EQ(Register("r0"), 1u) << "stopped in the first pass, after the old address";
  EXPECT_EQ(Register("r1"), 1u);

  response = ClearHardwareBreak();
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  EXPECT_EQ(board().IceRegister(8), 0xFFFFFFFFu);
  RunToCompletion();
}

TEST_F(BreakpointTest, SoftwareBreakpointInArmCode) {
  const std::vector<uint8_t> displaced = SetSoftware(kArmSum);
  EXPECT_EQ(BoardBytes(kArmSum, 4), (std::vector<uint8_t>{0xBE, 0xBE, 0xBE, 0xBE}));
  EXPECT_EQ(RunUntilHalted(), kArmSum);
  EXPECT_EQ(Register("r0"), 1u);
  EXPECT_EQ(Register("r1"), 0u);
  ClearSoftware(kArmSum, displaced);
  RunToCompletion();
}

TEST_F(BreakpointTest, SoftwareBreakpointsInThumbCodeAtBothHalfwords) {
  // Stop in Thumb code first, so that the core entered debug state in Thumb state.
  ASSERT_EQ(SetHardwareBreak(kThumbCode).status, VANTREL_STATUS_OK);
  EXPECT_EQ(RunUntilHalted(), kThumbCode);
  EXPECT_EQ(StatusWord() & 0x10, 0x10);
  ASSERT_EQ(ClearHardwareBreak().status, VANTREL_STATUS_OK);

  std::vector<uint8_t> displaced = SetSoftware(kThumbCount);
  std::vector<uint8_t> patterned = ImageBytes(kThumbCount, 4);
  patterned[0] = patterned[1] = 0xBE;
  EXPECT_EQ(BoardBytes(kThumbCount, 4), patterned) << "only the breakpointed halfword is replaced";
  EXPECT_EQ(RunUntilHalted(), kThumbCount);
  EXPECT_EQ(Register("r4"), 0u);
  ClearSoftware(kThumbCount, displaced);

  displaced = SetSoftware(kThumbSum);
  patterned = ImageBytes(kThumbCount, 4);
  patterned[2] = patterned[3] = 0xBE;
  EXPECT_EQ(BoardBytes(kThumbCount, 4), patterned);
  EXPECT_EQ(RunUntilHalted(), kThumbSum);
  EXPECT_EQ(Register("r4"), 1u) << "the neighbouring halfword executed while the breakpoint was set";
  EXPECT_EQ(Register("r5"), 0u);
  ClearSoftware(kThumbSum, displaced);
  RunToCompletion();
}

TEST_F(BreakpointTest, RefusedSoftwareBreakpointsWriteNothing) {
  ASSERT_EQ(AddRegion(kProgram, 0x80, VANTREL_REGION_WRITE_ONLY).status, VANTREL_STATUS_OK);
  ASSERT_EQ(AddRegion(kThumbCode, 0x100, VANTREL_REGION_READ_ONLY).status, VANTREL_STATUS_OK);
  JtagResponse response = SetSoftwareBreak(kArmSum);
  EXPECT_EQ(response.status, VANTREL_STATUS_WARNING);
  EXPECT_EQ(ResponseText(response), "the memory area is set to write only");
  response = SetSoftwareBreak(kArmLoop + 1);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "invalid parameters are used");
  response = SetSoftwareBreak(kThumbCount);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED) << "the pattern write is refused by the read-only region";
  EXPECT_EQ(response.length, 0);
  EXPECT_EQ(BoardBytes(kProgram, image_.size()), image_);
  RunToCompletion();
}

// ROM and unmapped memory drop the pattern: a breakpoint there would never be hit. It is
// refused, the memory is as it was, and the hardware breakpoint still takes the address.
TEST_F(BreakpointTest, ASoftwareBreakpointTheMemoryDoesNotKeepIsRefused) {
  constexpr uint32_t kRom = 0x80100, kUnmapped = 0x400000;
  const std::vector<uint8_t> rom{0x11, 0x22, 0x33, 0x44};
  ASSERT_TRUE(board().WriteMemory(kRom, rom));
  for (const uint32_t address : {kRom, kRom + 2, kUnmapped}) {
    SCOPED_TRACE(address);
    const JtagResponse response = SetSoftwareBreak(address);
    EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(ResponseText(response),
              "software breakpoint not set: the memory does not keep the pattern (ROM, unmapped or aborting memory), "
              "use the hardware breakpoint");
    EXPECT_EQ(BoardBytes(kRom, 4), rom);
    EXPECT_EQ(SetHardwareBreak(address).status, VANTREL_STATUS_OK);
    EXPECT_EQ(board().IceRegister(8), address);
  }
  ASSERT_EQ(ClearHardwareBreak().status, VANTREL_STATUS_OK);
  EXPECT_EQ(BoardBytes(kProgram, image_.size()), image_);
  RunToCompletion();
}

// Aborting memory fails the read of the word to displace, as any transfer that aborts
// fails: nothing is written, the core is restarted and the target is down until the
// next connect, after which breakpoints work again.
class AbortingMemoryBreakpointTest : public BreakpointTest {
 protected:
  static constexpr uint32_t kAborting = 0x90000;
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config = BreakpointTest::BoardConfiguration();
    config.regions.push_back({kAborting, 0x1000, vsim::RegionKind::kAbort});
    // Only TCK edges move a running core: after the reset at connect it must not run
    // through zeroed memory into the region, or it would halt in Abort mode already.
    config.freeRunInstructionsPerMs = 0;
    return config;
  }
};

TEST_F(AbortingMemoryBreakpointTest, ASoftwareBreakpointInAbortingMemoryFailsAndTheCoreStaysHalted) {
  const int state = StatusWord() >> 8;
  const JtagResponse response = SetSoftwareBreak(kAborting);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "some errors occur  when reading bus");
  EXPECT_EQ(StatusWord() >> 8, state) << "the aborted access leaves the core halted";
  EXPECT_EQ(BoardBytes(kProgram, image_.size()), image_);
  SetSoftware(kArmSum);
}

TEST_F(BreakpointTest, BreakpointsNeedAHaltedCore) {
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  for (const JtagResponse& response : {SetHardwareBreak(kArmSum), SetSoftwareBreak(kArmSum), ClearHardwareBreak()}) {
    EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(ResponseText(response), "status error");
  }
}

}  // namespace
}  // namespace vantrel::e2e
