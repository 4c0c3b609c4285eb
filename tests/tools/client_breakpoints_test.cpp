// The host's software-breakpoint bookkeeping (tools/client) on the simulated board,
// through the real library: patterns of the library's choice and of the host's size,
// breakpoints sharing a Thumb word, refusals, and re-planting over a new download.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "library.h"
#include "memory_requests.h"
#include "software_breakpoints.h"

namespace vantrel::e2e {
namespace {

using client::PatternSize;

constexpr uint32_t kProgram = 0x20000;
constexpr uint32_t kArmSum = 0x20040;
constexpr uint32_t kThumbCode = 0x20100;
constexpr uint32_t kThumbCount = 0x20104;  // the two Thumb instructions of one word
constexpr uint32_t kThumbSum = 0x20106;
constexpr uint32_t kRom = 0x80100;
const std::vector<uint8_t> kPattern{0xBE, 0xBE, 0xBE, 0xBE};

class ClientBreakpointTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    OpenAndConnect();
    std::ifstream file(BREAKPOINT_TARGET_BIN, std::ios::binary);
    image_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    ASSERT_GT(image_.size(), 0x200u);
    library().jtagClearLastError();
    ASSERT_EQ(Download(kProgram, kProgram, image_).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
    ASSERT_TRUE(client_.Load(VANTREL_LIBRARY_PATH)) << client_.Error();
  }

  // The library chooses the Thumb form once the core has halted in Thumb code.
  void HaltInThumbCode() {
    ASSERT_EQ(SetHardwareBreak(kThumbCode).status, VANTREL_STATUS_OK);
    ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
    for (int i = 0; i < 100 && !board().InDebugState(); ++i) RunBoard(1000);
    ASSERT_EQ(Stop().status, VANTREL_STATUS_OK);
    ASSERT_EQ(StatusWord() & 0x10, 0x10) << "halted in Thumb state";
    ASSERT_EQ(ClearHardwareBreak().status, VANTREL_STATUS_OK);
  }

  std::vector<uint8_t> ImageBytes(uint32_t address, size_t count) const {
    const auto offset = static_cast<std::ptrdiff_t>(address - kProgram);
    return {image_.begin() + offset, image_.begin() + offset + static_cast<std::ptrdiff_t>(count)};
  }
  std::vector<uint8_t> ThumbWordWith(bool countPattern, bool sumPattern) const {
    std::vector<uint8_t> word = ImageBytes(kThumbCount, 4);
    if (countPattern) word[0] = word[1] = 0xBE;
    if (sumPattern) word[2] = word[3] = 0xBE;
    return word;
  }

  client::Library client_;
  std::vector<std::string> failures_;
  client::SoftwareBreakpoints breakpoints_{client_,
                                           [this](const std::string& message) { failures_.push_back(message); }};
  std::vector<uint8_t> image_;
};

// GDB's kinds: the host writes a halfword or a word of pattern, reads show the program,
// and taking them out gives back the program byte for byte.
TEST_F(ClientBreakpointTest, HostSizedPatternsComeOutByteForByte) {
  ASSERT_TRUE(breakpoints_.Plant(kArmSum, PatternSize::kArm));
  ASSERT_TRUE(breakpoints_.Plant(kThumbCount, PatternSize::kThumb));
  ASSERT_TRUE(breakpoints_.Plant(kThumbSum, PatternSize::kThumb));
  EXPECT_EQ(BoardBytes(kArmSum, 4), kPattern);
  EXPECT_EQ(BoardBytes(kThumbCount, 4), kPattern);

  std::vector<uint8_t> seen = BoardBytes(kProgram, image_.size());
  breakpoints_.ShowProgram(kProgram, &seen);
  EXPECT_EQ(seen, image_);

  ASSERT_TRUE(breakpoints_.Lift(kThumbCount));
  EXPECT_EQ(BoardBytes(kThumbCount, 4), ThumbWordWith(false, true));
  breakpoints_.PutBackLifted();
  EXPECT_EQ(BoardBytes(kThumbCount, 4), kPattern);

  for (const uint32_t address : {kThumbCount, kArmSum, kThumbSum}) EXPECT_TRUE(breakpoints_.Remove(address));
  EXPECT_TRUE(breakpoints_.Empty());
  EXPECT_EQ(BoardBytes(kProgram, image_.size()), image_);
  EXPECT_TRUE(failures_.empty());
}

// The library writes back the whole word it displaced: two Thumb breakpoints in one word
// come out in either order, and lifting one leaves the other in memory.
TEST_F(ClientBreakpointTest, LibraryPlacedThumbBreakpointsSharingAWordComeOutInEitherOrder) {
  HaltInThumbCode();
  for (const bool countFirst : {true, false}) {
    SCOPED_TRACE(countFirst);
    ASSERT_TRUE(breakpoints_.Plant(kThumbCount, PatternSize::kLibraryChosen));
    ASSERT_TRUE(breakpoints_.Plant(kThumbSum, PatternSize::kLibraryChosen));
    EXPECT_EQ(BoardBytes(kThumbCount, 4), kPattern);

    ASSERT_TRUE(breakpoints_.Lift(kThumbCount));
    EXPECT_EQ(BoardBytes(kThumbCount, 4), ThumbWordWith(false, true));
    breakpoints_.PutBackLifted();
    EXPECT_EQ(BoardBytes(kThumbCount, 4), kPattern);

    const uint32_t first = countFirst ? kThumbCount : kThumbSum;
    ASSERT_TRUE(breakpoints_.Remove(first));
    EXPECT_EQ(BoardBytes(kThumbCount, 4), ThumbWordWith(!countFirst, countFirst));
    ASSERT_TRUE(breakpoints_.Remove(countFirst ? kThumbSum : kThumbCount));
    EXPECT_EQ(BoardBytes(kProgram, image_.size()), image_);
  }
  EXPECT_TRUE(failures_.empty());
}

// A breakpoint the memory refuses is a failure with a message, nothing is remembered and
// the memory is as it was; so is one asked of a running core.
TEST_F(ClientBreakpointTest, ARefusedPlantIsAFailureAndLeavesNothing) {
  const std::vector<uint8_t> rom{0x11, 0x22, 0x33, 0x44};
  ASSERT_TRUE(board().WriteMemory(kRom, rom));
  for (const PatternSize size : {PatternSize::kLibraryChosen, PatternSize::kThumb, PatternSize::kArm}) {
    SCOPED_TRACE(static_cast<int>(size));
    failures_.clear();
    bool patternNotKept = false;
    EXPECT_FALSE(breakpoints_.Plant(kRom, size, &patternNotKept));
    EXPECT_TRUE(patternNotKept);
    EXPECT_EQ(failures_.size(), 1u);
    EXPECT_FALSE(breakpoints_.Contains(kRom));
    EXPECT_EQ(BoardBytes(kRom, 4), rom);
  }

  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  for (const PatternSize size : {PatternSize::kLibraryChosen, PatternSize::kArm}) {
    failures_.clear();
    bool patternNotKept = true;
    EXPECT_FALSE(breakpoints_.Plant(kArmSum, size, &patternNotKept));
    EXPECT_FALSE(patternNotKept);
    EXPECT_EQ(failures_, std::vector<std::string>{"status error"});
  }
  EXPECT_TRUE(breakpoints_.Empty());
}

// A download over planted breakpoints: they are planted again over the new program, and
// taking them out gives back the new program, not the old; one that the memory now
// refuses is forgotten rather than later written back over the new code.
TEST_F(ClientBreakpointTest, ADownloadOverBreakpointsPlantsThemAgainOverTheNewProgram) {
  HaltInThumbCode();
  ASSERT_TRUE(breakpoints_.Plant(kArmSum, PatternSize::kArm));
  ASSERT_TRUE(breakpoints_.Plant(kThumbCount, PatternSize::kLibraryChosen));
  ASSERT_TRUE(breakpoints_.Plant(kThumbSum, PatternSize::kLibraryChosen));
  ASSERT_TRUE(breakpoints_.Plant(kProgram + 0x200, PatternSize::kThumb));

  std::vector<uint8_t> update = image_;
  update.resize(0x200);
  for (size_t i = 0x40; i < 0x110; ++i) update[i] ^= 0x5A;
  ASSERT_EQ(WriteMemory(kProgram, update).status, VANTREL_STATUS_OK);
  breakpoints_.ReplantWithin(kProgram, update.size());
  EXPECT_EQ(BoardBytes(kArmSum, 4), kPattern);
  EXPECT_EQ(BoardBytes(kThumbCount, 4), kPattern);

  ASSERT_TRUE(breakpoints_.Remove(kThumbCount));
  ASSERT_TRUE(breakpoints_.Remove(kArmSum));
  ASSERT_TRUE(breakpoints_.Remove(kThumbSum));
  EXPECT_EQ(BoardBytes(kProgram, update.size()), update);

  ASSERT_TRUE(breakpoints_.Plant(kArmSum, PatternSize::kLibraryChosen));
  ASSERT_EQ(WriteMemory(kArmSum, ImageBytes(kArmSum, 4)).status, VANTREL_STATUS_OK);
  ASSERT_EQ(AddRegion(kProgram, 0x80, VANTREL_REGION_READ_ONLY).status, VANTREL_STATUS_OK);
  breakpoints_.ReplantWithin(kArmSum, 4);
  EXPECT_FALSE(breakpoints_.Contains(kArmSum));
  EXPECT_EQ(failures_.size(), 1u);
  EXPECT_EQ(BoardBytes(kArmSum, 4), ImageBytes(kArmSum, 4));
  EXPECT_TRUE(breakpoints_.Contains(kProgram + 0x200)) << "outside the download";
}

}  // namespace
}  // namespace vantrel::e2e
