// The program of breakpoint_target.S downloaded to the board, and the host's run and
// stop around it, for the tests of the program stops.
#pragma once

#include <fstream>
#include <iterator>

#include "memory_requests.h"

namespace vantrel::e2e {

class BreakpointProgramTest : public MemoryTest {
 protected:
  static constexpr uint32_t kProgram = 0x20000;
  static constexpr uint32_t kArmResult = 0x31000;
  static constexpr uint32_t kThumbResult = 0x31004;
  static constexpr uint32_t kDoneMarker = 0x31008;

  void SetUp() override {
    MemoryTest::SetUp();
    OpenAndConnect();
    ASSERT_EQ(library().getDbgStatus(1), 3);
    std::ifstream file(BREAKPOINT_TARGET_BIN, std::ios::binary);
    image_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    ASSERT_GT(image_.size(), 0x200u);
    LoadProgram();
  }

  void LoadProgram() {
    library().jtagClearLastError();
    ASSERT_EQ(Download(kProgram, kProgram, image_).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
  }

  // Lets the program run until it enters debug state, then stops it as a host does.
  // Returns the saved PC that the stop answers.
  uint32_t RunUntilHalted() {
    EXPECT_EQ(Run().status, VANTREL_STATUS_OK);
    for (int i = 0; i < 100 && !board().InDebugState(); ++i) RunBoard(1000);
    EXPECT_TRUE(board().InDebugState());
    EXPECT_EQ(StatusWord() & 1, 1) << "the host sees DBGACK";
    const JtagResponse stop = Stop();
    EXPECT_EQ(stop.status, VANTREL_STATUS_OK) << test::ResponseText(stop);
    return ResponseWords(stop).at(0);
  }

  void RunToCompletion() {
    ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
    RunBoard(10000);
    EXPECT_FALSE(board().InDebugState());
    EXPECT_EQ(board().ReadWord(kArmResult), 55u);
    EXPECT_EQ(board().ReadWord(kThumbResult), 55u);
    EXPECT_EQ(board().ReadWord(kDoneMarker), 0xD0Eu);
  }

  std::vector<uint8_t> image_;
};

}  // namespace vantrel::e2e
