// vantrel-board's command line: what it builds and what it refuses.
#include <gtest/gtest.h>

#include <vector>

#include "board/board_options.h"

namespace vsim {
namespace {

std::string Parse(std::vector<const char*> args, BoardOptions& options) {
  args.insert(args.begin(), "vantrel-board");
  return ParseBoardOptions(static_cast<int>(args.size()), args.data(), options);
}

TEST(BoardOptionsTest, FullLineBuildsTheBoard) {
  BoardOptions o;
  ASSERT_EQ(Parse({"--listen",
                   "0",
                   "--ram",
                   "0x0:128K",
                   "--rom",
                   "0x100000:1M",
                   "--abort",
                   "0x200000:4096",
                   "--big-endian",
                   "--idcode",
                   "0x1F0F0F0F",
                   "--load",
                   "a.bin@0x100",
                   "--power-bad",
                   "--no-cable",
                   "--target-absent",
                   "--never-halts",
                   "--cycles-per-tck",
                   "8",
                   "--free-run",
                   "0",
                   "--timer",
                   "500:fiq"},
                  o),
            "");
  EXPECT_EQ(o.listenPort, 0);
  ASSERT_EQ(o.config.regions.size(), 3u);
  EXPECT_EQ(o.config.regions[0].size, 128u * 1024);
  EXPECT_EQ(o.config.regions[1].kind, RegionKind::kRom);
  EXPECT_EQ(o.config.regions[1].size, 1024u * 1024);
  EXPECT_EQ(o.config.regions[2].kind, RegionKind::kAbort);
  EXPECT_EQ(o.config.endianness, Endianness::kBig);
  EXPECT_EQ(o.config.idcode, 0x1F0F0F0Fu);
  ASSERT_EQ(o.images.size(), 1u);
  EXPECT_EQ(o.images[0].path, "a.bin");
  EXPECT_EQ(o.images[0].address, 0x100u);
  EXPECT_TRUE(o.config.faults.powerBad && o.config.faults.noCable && o.config.faults.targetAbsent &&
              o.config.faults.coreNeverHalts);
  EXPECT_EQ(o.config.instructionsPerTck, 8);
  EXPECT_EQ(o.config.freeRunInstructionsPerMs, 0);
  EXPECT_EQ(o.config.timer.period, 500u);
  EXPECT_EQ(o.config.timer.line, InterruptLine::kFiq);
}

TEST(BoardOptionsTest, DefaultsKeepTheDefaultLayout) {
  BoardOptions o;
  ASSERT_EQ(Parse({"--listen", "5555"}, o), "");
  EXPECT_EQ(o.config.regions.size(), 2u);
  EXPECT_EQ(o.config.idcode, 0x3F0F0F0Fu);
}

TEST(BoardOptionsTest, FlashTakesAnOptionalKind) {
  BoardOptions o;
  ASSERT_EQ(Parse({"--listen", "0", "--flash", "0:1M", "--flash", "0x400000:128K:intel16", "--ram", "0x40000000:64K"}, o),
            "");
  ASSERT_EQ(o.config.regions.size(), 3u);
  EXPECT_EQ(o.config.regions[0].kind, RegionKind::kFlash);
  EXPECT_EQ(o.config.regions[0].flashKind, FlashKind::kAmd16);
  EXPECT_EQ(o.config.regions[0].size, 1024u * 1024);
  EXPECT_EQ(o.config.regions[1].base, 0x400000u);
  EXPECT_EQ(o.config.regions[1].flashKind, FlashKind::kIntel16);
}

TEST(BoardOptionsTest, BadLinesAreRefusedWithAReason) {
  const std::vector<std::vector<const char*>> bad = {
      {},
      {"--listen"},
      {"--listen", "65536"},
      {"--listen", "-1"},
      {"--listen", "12x"},
      {"--listen", "1", "--bogus"},
      {"--listen", "1", "--ram", "0x1000"},
      {"--listen", "1", "--ram", "0:0"},
      {"--listen", "1", "--ram", "0:3"},
      {"--listen", "1", "--ram", "0:1M", "--rom", "0x80000:1M"},
      {"--listen", "1", "--ram", "0xFFFFF000:8K"},
      {"--listen", "1", "--ram", "0:99999999999"},
      {"--listen", "1", "--idcode", "0x100000000"},
      {"--listen", "1", "--load", "file"},
      {"--listen", "1", "--flash", "0:256K:nor8"},
      {"--listen", "1", "--flash", "0:256K:"},
      {"--listen", "1", "--flash", "0:96K"},
      {"--listen", "1", "--flash", "0:64K"},
      {"--listen", "1", "--load", "@0x100"},
      {"--listen", "1", "--cycles-per-tck", "3"},
      {"--listen", "1", "--timer", "0"},
      {"--listen", "1", "--timer", "10:nmi"},
  };
  for (const auto& args : bad) {
    BoardOptions o;
    std::string error = Parse(args, o);
    EXPECT_FALSE(error.empty()) << "accepted: " << (args.empty() ? "(nothing)" : args.back());
  }
}

TEST(BoardOptionsTest, HelpNeedsNothingElse) {
  BoardOptions o;
  EXPECT_EQ(Parse({"--help"}, o), "");
  EXPECT_TRUE(o.help);
  EXPECT_NE(std::string(BoardUsage()).find("--listen PORT"), std::string::npos);
}

}  // namespace
}  // namespace vsim
