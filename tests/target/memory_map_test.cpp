#include "target/memory_map.h"

#include <gtest/gtest.h>

#include <string>

#include "target/target_layer_state.h"

namespace vantrel::target {
namespace {

constexpr uint32_t kRead = kWriteOnlyRegion;  // what blocks a read
constexpr uint32_t kWrite = kReadOnlyRegion;  // what blocks a write

class MemoryMapTest : public ::testing::Test {
 protected:
  // The map of a freshly loaded library: empty.
  TargetLayerState target_;

  // The listing as the command gives it: at most 1023 characters.
  std::string Listing() {
    char text[1023];
    return std::string(text, ListMemoryRegions(target_, text));
  }

  AddRegionOutcome Add(uint64_t start, uint64_t length, uint32_t property = kReadOnlyRegion) {
    return AddMemoryRegion(target_, {start, length, property, 0});
  }
};

TEST_F(MemoryMapTest, OverlapsAreRefusedAndTouchingRegionsAreNot) {
  ASSERT_EQ(Add(0x1000, 0x1000), AddRegionOutcome::kAdded);
  EXPECT_EQ(Add(0x0000, 0x1000), AddRegionOutcome::kAdded);
  EXPECT_EQ(Add(0x2000, 0x1000), AddRegionOutcome::kAdded);
  for (const auto& [start, length] :
       {std::pair<uint64_t, uint64_t>{0x0800, 0x1000}, {0x1800, 0x10}, {0x0000, 0x3000}}) {
    EXPECT_EQ(Add(start, length, kReadWriteRegion), AddRegionOutcome::kOverlap) << std::hex << start;
  }
  EXPECT_EQ(MemoryRegionCount(target_), 3);
}

TEST_F(MemoryMapTest, FiftyRegionsFitAndOverlapIsTestedBeforeTheLimit) {
  for (uint64_t i = 0; i < 50; ++i) ASSERT_EQ(Add(i * 0x100, 0x100), AddRegionOutcome::kAdded) << i;
  EXPECT_EQ(Add(0x100000, 0x100), AddRegionOutcome::kMapFull);
  EXPECT_EQ(Add(0x80, 0x10), AddRegionOutcome::kOverlap);
  EXPECT_EQ(MemoryRegionCount(target_), 50);
}

TEST_F(MemoryMapTest, RegionReachingPastTheTopOfTheSpaceCoversEverythingAboveItsStart) {
  ASSERT_EQ(Add(0xFFFFFFFF00000000u, 0x200000000u), AddRegionOutcome::kAdded);
  EXPECT_EQ(Add(0xFFFFFFFFFFFFFF00u, 1), AddRegionOutcome::kOverlap);
  EXPECT_EQ(Add(0x1000, 0x1000), AddRegionOutcome::kAdded);
}

TEST_F(MemoryMapTest, ListingIsByteExact) {
  EXPECT_EQ(Listing(), "no memory configuration\r\n");
  ASSERT_EQ(Add(0, 0x10000, kReadOnlyRegion), AddRegionOutcome::kAdded);
  ASSERT_EQ(Add(0x100010000u, 0x20, kWriteOnlyRegion), AddRegionOutcome::kAdded);  // high bits not shown
  ASSERT_EQ(Add(0x20000, 0, kReadWriteRegion), AddRegionOutcome::kAdded);
  ASSERT_EQ(Add(0x30000, 4, 3), AddRegionOutcome::kAdded);
  EXPECT_EQ(Listing(),
            "No    StartAddr     Length        Property\r\n"
            "01    0x00000000    0x00010000    -R\r\n"
            "02    0x00010000    0x00000020    -W\r\n"
            "03    0x00020000    0x00000000    -RW\r\n"
            "04    0x00030000    0x00000004    -(3)\r\n");
}

TEST_F(MemoryMapTest, LongListingEndsAfterTheLastWholeRowThatFits) {
  for (uint64_t i = 0; i < 30; ++i) ASSERT_EQ(Add(i * 0x100, 0x100, kReadWriteRegion), AddRegionOutcome::kAdded);
  const std::string text = Listing();
  // 44 header characters and rows of 39: 25 rows fit, the 26th does not.
  EXPECT_EQ(text.size(), 44u + 25u * 39u);
  EXPECT_EQ(text.substr(text.size() - 39), "25    0x00001800    0x00000100    -RW\r\n");
}

struct ClipCase {
  uint32_t address;
  uint32_t length;
  uint32_t blocking;
  bool refused;
  uint32_t first;
  uint32_t clippedLength;
};

class ClipTest : public MemoryMapTest, public ::testing::WithParamInterface<ClipCase> {};

TEST_P(ClipTest, FitsTheRequestToTheMap) {
  ASSERT_EQ(Add(0x1000, 0x1000, kWriteOnlyRegion), AddRegionOutcome::kAdded);
  ASSERT_EQ(Add(0x4000, 0x1000, kReadOnlyRegion), AddRegionOutcome::kAdded);
  ASSERT_EQ(Add(0x6000, 0x1000, kReadOnlyRegion), AddRegionOutcome::kAdded);
  ASSERT_EQ(Add(0x7000, 0x1000, kReadOnlyRegion), AddRegionOutcome::kAdded);
  ASSERT_EQ(Add(0x9000, 0, kWriteOnlyRegion), AddRegionOutcome::kAdded);
  ASSERT_EQ(Add(0xA000, 0x100, 3), AddRegionOutcome::kAdded);
  const ClipCase& c = GetParam();
  const ClippedTransfer clip = ClipTransfer(target_, c.address, c.length, c.blocking);
  EXPECT_EQ(clip.refused, c.refused);
  if (c.refused) return;
  EXPECT_EQ(clip.first, c.first);
  EXPECT_EQ(clip.length, c.clippedLength);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipTest,
    ::testing::Values(
        // A read inside the write-only region, up to its very end, is refused.
        ClipCase{0x1800, 0x100, kRead, true, 0, 0}, ClipCase{0x1800, 0x800, kRead, true, 0, 0},
        // Starting inside: begins where the region ends; ending inside: ends where it begins.
        ClipCase{0x1800, 0x1000, kRead, false, 0x2000, 0x800}, ClipCase{0x0F00, 0x200, kRead, false, 0x0F00, 0x100},
        // Covering the region entirely: not split.
        ClipCase{0x0F00, 0x1200, kRead, false, 0x0F00, 0x1200},
        // Writes pass the write-only region unchanged.
        ClipCase{0x1800, 0x100, kWrite, false, 0x1800, 0x100}, ClipCase{0x4800, 0x100, kWrite, true, 0, 0},
        ClipCase{0x4800, 0x1000, kWrite, false, 0x5000, 0x800},
        // Between two read-only regions.
        ClipCase{0x4800, 0x2000, kWrite, false, 0x5000, 0x1000},
        // Starting in one region and ending in the adjacent one leaves nothing.
        ClipCase{0x6800, 0x1000, kWrite, false, 0x7000, 0},
        // A request wrapping past 0xFFFFFFFF into a region.
        ClipCase{0xFFFFFF00, 0x1200, kRead, true, 0, 0},
        // Length-0 regions and unknown properties restrict nothing.
        ClipCase{0x8F00, 0x200, kRead, false, 0x8F00, 0x200}, ClipCase{0xA000, 0x10, kRead, false, 0xA000, 0x10},
        ClipCase{0xA000, 0x10, kWrite, false, 0xA000, 0x10}));

}  // namespace
}  // namespace vantrel::target
