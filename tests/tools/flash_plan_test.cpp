// The flash layer's pure parts: the CFI query table read into a geometry (bottom and
// top boot, the Intel set, tables that lie), the sectors an image covers with the rest of
// partly covered ones kept, and where a front end finds the work area.
#include <gtest/gtest.h>

#include <map>

#include "cfi_query.h"
#include "flash_writer.h"
#include "work_area.h"

namespace vantrel::flash {
namespace {

// A query table as a chip answers it: byte values at query offsets.
struct TableBuilder {
  std::map<uint32_t, uint8_t> bytes;

  TableBuilder(uint16_t commandSet, uint8_t sizeLog2, const std::vector<std::pair<uint32_t, uint32_t>>& regions) {
    Put(0x10, 'Q');
    Put(0x11, 'R');
    Put(0x12, 'Y');
    Half(0x13, commandSet);
    Put(0x1F, 4);  // 16 us typical word program
    Put(0x21, 9);  // 512 ms typical block erase
    Put(0x23, 4);
    Put(0x25, 4);
    Put(0x27, sizeLog2);
    Half(0x28, 1);
    Put(0x2C, static_cast<uint8_t>(regions.size()));
    for (size_t i = 0; i < regions.size(); ++i) {
      Half(0x2D + 4 * static_cast<uint32_t>(i), static_cast<uint16_t>(regions[i].first - 1));
      Half(0x2F + 4 * static_cast<uint32_t>(i), static_cast<uint16_t>(regions[i].second / 256));
    }
  }
  void Put(uint32_t offset, uint8_t value) { bytes[offset] = value; }
  void Half(uint32_t offset, uint16_t value) {
    Put(offset, static_cast<uint8_t>(value));
    Put(offset + 1, static_cast<uint8_t>(value >> 8));
  }
  // The AMD vendor table at 0x40: version 1.3 and the boot-block place.
  void AmdVendorTable(uint8_t bootFlag) {
    Half(0x15, 0x40);
    Put(0x40, 'P');
    Put(0x41, 'R');
    Put(0x42, 'I');
    Put(0x43, '1');
    Put(0x44, '3');
    Put(0x4F, bootFlag);
  }
  std::optional<CfiQuery> Read(std::string* error) const {
    return ReadCfiQuery(
        [this](uint32_t offset) -> std::optional<uint8_t> {
          if (offset >= 0x80) return std::nullopt;
          const auto found = bytes.find(offset);
          return found == bytes.end() ? uint8_t{0} : found->second;
        },
        error);
  }
};

std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> Layout(const CfiQuery& query) {
  std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> layout;
  for (const EraseRegion& region : query.regions) layout.emplace_back(region.address, region.blockSize, region.blocks);
  return layout;
}

TEST(CfiQueryTest, GeometryOfBothCommandSets) {
  std::string error;
  TableBuilder bottom(0x0002, 20, {{8, 0x2000}, {15, 0x10000}});
  bottom.AmdVendorTable(2);
  const auto amd = bottom.Read(&error);
  ASSERT_TRUE(amd) << error;
  EXPECT_EQ(amd->deviceBytes, 0x100000u);
  EXPECT_FALSE(amd->topBoot);
  EXPECT_EQ(Layout(*amd), (decltype(Layout(*amd)){{0, 0x2000, 8}, {0x10000, 0x10000, 15}}));
  EXPECT_EQ(amd->maxWordProgramUs, 16u * 16);
  EXPECT_EQ(amd->maxBlockEraseMs, 512u * 16);

  // A top-boot chip lists its small sectors first but keeps them at the top.
  TableBuilder top(0x0002, 20, {{8, 0x2000}, {15, 0x10000}});
  top.AmdVendorTable(3);
  const auto topAmd = top.Read(&error);
  ASSERT_TRUE(topAmd) << error;
  EXPECT_TRUE(topAmd->topBoot);
  EXPECT_EQ(Layout(*topAmd), (decltype(Layout(*topAmd)){{0, 0x10000, 15}, {0xF0000, 0x2000, 8}}));

  // The Intel set has no vendor boot flag of this kind: the regions lie as listed.
  TableBuilder intel(0x0003, 20, {{8, 0x2000}, {15, 0x10000}});
  const auto intelQuery = intel.Read(&error);
  ASSERT_TRUE(intelQuery) << error;
  EXPECT_TRUE(IsIntelStyle(intelQuery->commandSet));
  EXPECT_EQ(Layout(*intelQuery), Layout(*amd));
}

TEST(CfiQueryTest, TablesThatCannotBeUsedAreRefusedWithAReason) {
  struct Case {
    const char* name;
    std::function<void(TableBuilder&)> spoil;
    const char* reason;
  };
  const Case cases[] = {
      {"no QRY", [](TableBuilder& t) { t.Put(0x11, 'X'); }, "no CFI answer at the address"},
      {"blocks do not add up", [](TableBuilder& t) { t.Half(0x2D, 6); }, "do not add up"},
      {"no regions", [](TableBuilder& t) { t.Put(0x2C, 0); }, "erase-block regions"},
      {"too many regions", [](TableBuilder& t) { t.Put(0x2C, 200); }, "erase-block regions"},
      {"no size", [](TableBuilder& t) { t.Put(0x27, 0); }, "size"},
      {"size past 2 GiB", [](TableBuilder& t) { t.Put(0x27, 40); }, "size"},
  };
  for (const Case& c : cases) {
    TableBuilder table(0x0002, 20, {{8, 0x2000}, {15, 0x10000}});
    c.spoil(table);
    std::string error;
    EXPECT_FALSE(table.Read(&error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

FlashBank BottomBootBank() {
  FlashBank bank;
  bank.base = 0;
  bank.size = 0x30000;
  bank.regions = {{0, 0x2000, 8}, {0x10000, 0x10000, 2}};
  return bank;
}

TEST(FlashPlanTest, CoveredSectorsAreWholeAndTheImageLiesOverErasedBytes) {
  const FlashBank bank = BottomBootBank();
  // From the middle of the second small sector to the middle of the first big one.
  const Piece piece{0x3000, Bytes(0xE000, 0x5A)};
  std::vector<SectorRun> runs;
  std::string error;
  ASSERT_TRUE(PlanRuns(bank, {piece}, &runs, &error)) << error;
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].address, 0x2000u);
  EXPECT_EQ(runs[0].End(), 0x20000u);
  EXPECT_EQ(DescribeSectors({runs[0].sectors.front(), runs[0].sectors.back()}),
            "0x00002000-0x00003fff, 0x00010000-0x0001ffff");
  EXPECT_EQ(runs[0].sectors.size(), 8u);

  // Two pieces apart make two runs; a piece of zero bytes covers nothing.
  ASSERT_TRUE(PlanRuns(bank, {{0x0, Bytes(2, 1)}, {0x20000, Bytes(4, 2)}, {0x8000, {}}}, &runs, &error));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].contents.size(), 0x2000u);
  EXPECT_EQ(runs[1].address, 0x20000u);
}

TEST(FlashPlanTest, PiecesOutsideTheBankOrOverlappingAreRefused) {
  const FlashBank bank = BottomBootBank();
  std::vector<SectorRun> runs;
  std::string error;
  EXPECT_FALSE(PlanRuns(bank, {{0x2FFFE, Bytes(4, 0)}}, &runs, &error));
  EXPECT_NE(error.find("does not lie inside"), std::string::npos);
  EXPECT_FALSE(PlanRuns(bank, {{0x100, Bytes(16, 0)}, {0x108, Bytes(16, 0)}}, &runs, &error));
  EXPECT_NE(error.find("overlap"), std::string::npos);
  EXPECT_TRUE(bank.SectorsCovering(0x30000, 4).empty());
  EXPECT_TRUE(bank.SectorsCovering(0x1000, 0).empty());
}

TEST(WorkAreaTest, FromTheIniLineOrTheFirstReadWriteRegion) {
  EXPECT_EQ(WorkAreaFromIni("lpt2=2F8\nworkarea=3F000,100\n")->address, 0x3F000u);
  EXPECT_EQ(WorkAreaFromIni(" WorkArea = 0x20000 , 0x800\r\n")->size, 0x800u);
  EXPECT_FALSE(WorkAreaFromIni("workarea=3F000\n"));
  EXPECT_FALSE(WorkAreaFromIni("workarea=FFFFFF00,200\n"));
  EXPECT_FALSE(WorkAreaFromIni("workarea=zz,100\n"));

  const std::string listing =
      "No    StartAddr     Length        Property\r\n"
      "01    0x00000000    0x00010000    -R\r\n"
      "02    0x00020000    0x00001000    -RW\r\n"
      "03    0x00030000    0x00001000    -RW\r\n";
  const auto area = WorkAreaFromListing(listing);
  ASSERT_TRUE(area);
  EXPECT_EQ(area->address, 0x20000u);
  EXPECT_EQ(area->size, 0x1000u);
  EXPECT_FALSE(WorkAreaFromListing("no memory configuration\r\n"));
}

}  // namespace
}  // namespace vantrel::flash
