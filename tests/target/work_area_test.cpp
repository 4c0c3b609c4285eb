#include "target/work_area.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "cable/port_config.h"
#include "support/fresh_session.h"
#include "target/memory_map.h"

namespace vantrel::target {
namespace {

class WorkAreaTest : public ::testing::Test {
 protected:
  test::FreshSession session_;
};

constexpr int64_t kLong = 0x10000;

// With lpt.ini's area: where the loop goes for a transfer, or nowhere.
TEST_F(WorkAreaTest, TheLoopTakesTheStartOrTheEndOfTheConfiguredArea) {
  cable::ApplyPortConfigLine(session_.Port(), "workarea=3F000,1000\n");
  const struct {
    const char* what;
    uint32_t first;
    int64_t bytes;
    std::optional<uint32_t> place;
  } cases[] = {
      {"clear of the transfer", 0x10000, kLong, 0x3F000},
      {"the start taken", 0x30000, 0xF020, 0x3FFE0},
      {"the end taken", 0x3FFDC, 0x1000, 0x3F000},
      {"both taken", 0x3F01C, 0xFC8, std::nullopt},
      {"touching both ends", 0x3F020, 0xFC0, 0x3F000},
      {"too short to gain", 0x10000, kMinCommsLoopBytes - 4, std::nullopt},
      {"just long enough", 0x10000, kMinCommsLoopBytes, 0x3F000},
  };
  for (const auto& c : cases) EXPECT_EQ(CommsLoopPlace(session_.Target(), c.first, c.bytes), c.place) << c.what;
}

// A transfer that runs past 0xFFFFFFFF goes on at 0: its wrapped part is as much in the
// loop's way as the rest, with the area at the bottom or at the top of the address space.
TEST_F(WorkAreaTest, TheWrappedPartOfATransferKeepsTheLoopOut) {
  const struct {
    const char* line;
    uint32_t first;
    int64_t bytes;
    std::optional<uint32_t> place;
  } cases[] = {
      {"workarea=100,20\n", 0xFFFFFE00, 0x400, std::nullopt},
      {"workarea=100,20\n", 0xFFFFFC00, 0x504, std::nullopt},
      {"workarea=100,20\n", 0xFFFFFC00, 0x500, 0x100},
      {"workarea=100,200\n", 0xFFFFFE00, 0x400, 0x2E0},
      {"workarea=FFFFFF00,100\n", 0xFFFFFF00, 0x400, std::nullopt},
      {"workarea=FFFFFF00,100\n", 0xFFFFFE00, 0x100000000, std::nullopt},
      {"workarea=FFFFFF00,100\n", 0xFFFFFF20, 0x400, 0xFFFFFF00},
  };
  for (const auto& c : cases) {
    test::FreshSession fresh;  // no lpt.ini line read yet
    cable::ApplyPortConfigLine(fresh.Port(), c.line);
    EXPECT_EQ(CommsLoopPlace(fresh.Target(), c.first, c.bytes), c.place)
        << c.line << std::hex << c.first << "+" << c.bytes;
  }
  test::FreshSession fresh;  // no lpt.ini line read yet
  ASSERT_EQ(AddMemoryRegion(fresh.Target(), {0x100, 0x20, kReadWriteRegion, 0}), AddRegionOutcome::kAdded);
  ASSERT_EQ(AddMemoryRegion(fresh.Target(), {0x40000, 0x100, kReadWriteRegion, 0}), AddRegionOutcome::kAdded);
  EXPECT_EQ(CommsLoopPlace(fresh.Target(), 0xFFFFFE00, 0x400), 0x40000u)
      << "a declared region the wrap covers is passed over";
}

TEST_F(WorkAreaTest, AreasThatCannotHoldTheLoopGiveNoPlace) {
  for (const char* line : {"workarea=3F000,1F\n", "workarea=3F002,20\n", "workarea=0,20\n", "workarea=FFFFFFE1,1F\n"}) {
    test::FreshSession fresh;  // no lpt.ini line read yet
    cable::ApplyPortConfigLine(fresh.Port(), line);
    EXPECT_EQ(CommsLoopPlace(fresh.Target(), 0x10000, kLong), std::nullopt) << line;
  }
  cable::ApplyPortConfigLine(session_.Port(), "workarea=3,40\n");  // unaligned: the first whole words above the vectors
  EXPECT_EQ(CommsLoopPlace(session_.Target(), 0x10000, kLong), 0x20u);
  cable::ApplyPortConfigLine(session_.Port(), "workarea=FFFFFF00,100\n");
  EXPECT_EQ(CommsLoopPlace(session_.Target(), 0x10000, kLong), 0xFFFFFF00u);
}

// Without the line, the first read-write region the host declared that can take it; a
// region that blocks reads or writes keeps the loop out, whatever lpt.ini says.
TEST_F(WorkAreaTest, DeclaredRegionsServeWhenLptIniNamesNoArea) {
  EXPECT_EQ(CommsLoopPlace(session_.Target(), 0x10000, kLong), std::nullopt);
  ASSERT_EQ(AddMemoryRegion(session_.Target(), {0x0, 0x20, kReadWriteRegion, 0}),
            AddRegionOutcome::kAdded);  // the vectors
  ASSERT_EQ(AddMemoryRegion(session_.Target(), {0x80000, 0x10000, kReadOnlyRegion, 0}), AddRegionOutcome::kAdded);
  ASSERT_EQ(AddMemoryRegion(session_.Target(), {0x40000, 0x10, kReadWriteRegion, 0}),
            AddRegionOutcome::kAdded);  // too small
  ASSERT_EQ(AddMemoryRegion(session_.Target(), {0xFFFFFF00, 0x1000, kReadWriteRegion, 0}), AddRegionOutcome::kAdded);
  ASSERT_EQ(AddMemoryRegion(session_.Target(), {0x30000, 0x100, kReadWriteRegion, 0}), AddRegionOutcome::kAdded);
  EXPECT_EQ(CommsLoopPlace(session_.Target(), 0x10000, kLong), 0xFFFFFF00u) << "its end clipped to the address space";
  EXPECT_EQ(CommsLoopPlace(session_.Target(), 0xFFFF0000, kLong), 0x30000u) << "the first one overlaps the transfer";

  cable::ApplyPortConfigLine(session_.Port(), "workarea=88000,100\n");
  EXPECT_EQ(CommsLoopPlace(session_.Target(), 0x10000, kLong), std::nullopt) << "inside the read-only region";
}

// The checksum loop needs 100 bytes: an area that holds the comms loop may not hold it,
// and a short verify reads back instead.
TEST_F(WorkAreaTest, TheChecksumLoopNeedsItsHundredBytes) {
  const struct {
    const char* line;
    uint32_t first;
    int64_t bytes;
    std::optional<uint32_t> place;
  } cases[] = {
      {"workarea=3F000,64\n", 0x10000, kLong, 0x3F000},
      {"workarea=3F000,60\n", 0x10000, kLong, std::nullopt},
      {"workarea=3F000,100\n", 0x3EF00, 0x400, std::nullopt},
      {"workarea=3F000,100\n", 0x3EC00, 0x404, 0x3F09C},
      {"workarea=3F000,100\n", 0x10000, kMinChecksumLoopBytes - 4, std::nullopt},
  };
  for (const auto& c : cases) {
    test::FreshSession fresh;  // no lpt.ini line read yet
    cable::ApplyPortConfigLine(fresh.Port(), c.line);
    EXPECT_EQ(ChecksumLoopPlace(fresh.Target(), c.first, c.bytes), c.place)
        << c.line << std::hex << c.first << "+" << c.bytes;
    EXPECT_NE(CommsLoopPlace(fresh.Target(), 0x10000, kLong), std::nullopt) << c.line << ": the comms loop fits";
  }
}

}  // namespace
}  // namespace vantrel::target
