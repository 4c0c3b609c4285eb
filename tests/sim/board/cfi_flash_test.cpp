// The board's flash chips as the core sees them through the memory bus: command
// sequences, the query table and its geometry, status polling while busy, bits that
// programming cannot set, Intel block locking, and the order of a word store's cycles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/memory.h"

namespace vsim {
namespace {

constexpr uint32_t kBase = 0x01000000;
constexpr uint32_t kSize = 256 * 1024;

Memory MakeFlash(FlashKind kind, Endianness endianness = Endianness::kLittle) {
  MemoryRegion region{kBase, kSize, RegionKind::kFlash, kind};
  return Memory({region}, endianness);
}

uint32_t Read16(Memory& m, uint32_t offset) {
  uint32_t value = 0;
  EXPECT_TRUE(m.Read(kBase + offset, 2, value));
  return value;
}

void Write16(Memory& m, uint32_t offset, uint32_t value) { EXPECT_TRUE(m.Write(kBase + offset, 2, value)); }

// Word addresses on the 16-bit bus are byte addresses / 2.
void AmdCommand(Memory& m, uint8_t command) {
  Write16(m, 0x555 * 2, 0xAA);
  Write16(m, 0x2AA * 2, 0x55);
  Write16(m, 0x555 * 2, command);
}

// Polls like software does: bounded, until the data reads back.
int PollUntil(Memory& m, uint32_t offset, uint32_t expected) {
  for (int polls = 1; polls <= 100000; ++polls) {
    if (Read16(m, offset) == expected) return polls;
  }
  return -1;
}

void AmdProgram(Memory& m, uint32_t offset, uint16_t value) {
  AmdCommand(m, 0xA0);
  Write16(m, offset, value);
}

TEST(CfiFlashTest, ErasedArrayAndIdentificationModes) {
  struct Case {
    FlashKind kind;
    std::vector<uint8_t> enter;  // one-cycle commands (Intel) or the third unlock cycle (AMD)
    uint32_t wordAddress;
    uint32_t expected;
  };
  const Case cases[] = {
      {FlashKind::kAmd16, {0x90}, 0x00, 0x0001},  {FlashKind::kAmd16, {0x90}, 0x01, 0x2249},
      {FlashKind::kIntel16, {0x90}, 0x00, 0x0089}, {FlashKind::kIntel16, {0x90}, 0x01, 0x88C3},
      {FlashKind::kIntel16, {0x90}, 0x02, 0x0001},  // block 0 locked at power-up
      {FlashKind::kIntel16, {0x70}, 0x1234, 0x0080},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "word 0x" << std::hex << c.wordAddress);
    Memory m = MakeFlash(c.kind);
    EXPECT_EQ(Read16(m, 0x100), 0xFFFFu);
    if (c.kind == FlashKind::kAmd16) AmdCommand(m, c.enter[0]);
    else Write16(m, 0, c.enter[0]);
    EXPECT_EQ(Read16(m, c.wordAddress * 2), c.expected);
    Write16(m, 0, c.kind == FlashKind::kAmd16 ? 0xF0 : 0xFF);
    EXPECT_EQ(Read16(m, c.wordAddress * 2), 0xFFFFu);
  }
}

TEST(CfiFlashTest, QueryTableDescribesTheGeometry) {
  struct Case {
    FlashKind kind;
    uint16_t commandSet;
    std::vector<std::pair<uint32_t, uint32_t>> regions;  // blocks, bytes
  };
  const Case cases[] = {
      {FlashKind::kAmd16, 0x0002, {{1, 16384}, {2, 8192}, {1, 32768}, {3, 65536}}},
      {FlashKind::kIntel16, 0x0003, {{8, 8192}, {3, 65536}}},
  };
  for (const Case& c : cases) {
    Memory m = MakeFlash(c.kind);
    Write16(m, 0x55 * 2, 0x98);
    auto q = [&](uint32_t word) { return Read16(m, word * 2); };
    EXPECT_EQ(std::string({char(q(0x10)), char(q(0x11)), char(q(0x12))}), "QRY");
    EXPECT_EQ(q(0x13) | q(0x14) << 8, c.commandSet);
    EXPECT_EQ(1u << q(0x27), kSize);
    ASSERT_EQ(q(0x2C), c.regions.size());
    uint32_t total = 0;
    for (size_t i = 0; i < c.regions.size(); ++i) {
      uint32_t at = 0x2D + 4 * static_cast<uint32_t>(i);
      EXPECT_EQ((q(at) | q(at + 1) << 8) + 1, c.regions[i].first) << "region " << i;
      EXPECT_EQ((q(at + 2) | q(at + 3) << 8) * 256, c.regions[i].second) << "region " << i;
      total += c.regions[i].first * c.regions[i].second;
    }
    EXPECT_EQ(total, kSize);
    uint32_t ext = q(0x15);
    EXPECT_EQ(std::string({char(q(ext)), char(q(ext + 1)), char(q(ext + 2))}), "PRI");
  }
}

TEST(CfiFlashTest, AmdProgramIsPolledAndClearsBitsOnly) {
  Memory m = MakeFlash(FlashKind::kAmd16);
  AmdProgram(m, 0x10, 0x1234);
  uint32_t first = Read16(m, 0x10);
  uint32_t second = Read16(m, 0x10);
  EXPECT_EQ(first & 0x80, (~0x1234u) & 0x80) << "DQ7 shows the complement of the data";
  EXPECT_NE(first & 0x40, second & 0x40) << "DQ6 toggles while busy";
  EXPECT_GT(PollUntil(m, 0x10, 0x1234), 1);

  // A 1 over a 0: DQ5 reports the time limit exceeded, the chip stays busy until reset.
  AmdProgram(m, 0x10, 0x00FF);
  int polls = 0;
  uint32_t status = 0;
  while ((status = Read16(m, 0x10)) != 0x0034 && (status & 0x20) == 0 && ++polls < 1000) {}
  EXPECT_NE(status & 0x20, 0u);
  EXPECT_NE(Read16(m, 0x10), 0x0034u);
  Write16(m, 0, 0xF0);
  EXPECT_EQ(Read16(m, 0x10), 0x0034u) << "only the bits that could be cleared were";
}

TEST(CfiFlashTest, AmdEraseClearsOneSectorOrTheChip) {
  Memory m = MakeFlash(FlashKind::kAmd16);
  for (uint32_t offset : {0x3FFEu, 0x4000u, 0x5FFEu, 0x6000u}) {
    AmdProgram(m, offset, 0);
    ASSERT_GT(PollUntil(m, offset, 0), 0);
  }
  AmdCommand(m, 0x80);
  Write16(m, 0x555 * 2, 0xAA);
  Write16(m, 0x2AA * 2, 0x55);
  Write16(m, 0x4100, 0x30);  // inside the first 8 KiB sector
  uint32_t status = Read16(m, 0x4000);
  EXPECT_EQ(status & 0x88, 0x08u) << "DQ7 0 and DQ3 set during an erase";
  Write16(m, 0x4000, 0x1234);  // ignored while busy
  int polls = PollUntil(m, 0x4000, 0xFFFF);
  EXPECT_GT(polls, 100) << "an erase takes a large number of bus cycles";
  EXPECT_EQ(Read16(m, 0x3FFE), 0u);
  EXPECT_EQ(Read16(m, 0x5FFE), 0xFFFFu);
  EXPECT_EQ(Read16(m, 0x6000), 0u);

  AmdCommand(m, 0x80);
  AmdCommand(m, 0x10);
  EXPECT_GT(PollUntil(m, 0x6000, 0xFFFF), 0);
  EXPECT_EQ(Read16(m, 0x3FFE), 0xFFFFu);
}

TEST(CfiFlashTest, AmdEraseSuspendLetsOtherSectorsBeRead) {
  Memory m = MakeFlash(FlashKind::kAmd16);
  AmdCommand(m, 0x80);
  Write16(m, 0x555 * 2, 0xAA);
  Write16(m, 0x2AA * 2, 0x55);
  Write16(m, 0x10000, 0x30);
  Write16(m, 0, 0xB0);
  EXPECT_EQ(Read16(m, 0x100), 0xFFFFu) << "another sector reads as array";
  EXPECT_NE(Read16(m, 0x10000), 0xFFFFu) << "the suspended sector still shows status";
  Write16(m, 0, 0x30);
  EXPECT_GT(PollUntil(m, 0x10000, 0xFFFF), 1);
}

TEST(CfiFlashTest, NonCommandWritesAreIgnored) {
  for (FlashKind kind : {FlashKind::kAmd16, FlashKind::kIntel16}) {
    Memory m = MakeFlash(kind);
    for (uint32_t value : {0x0000u, 0x1234u, 0x00A0u, 0x0055u}) Write16(m, 0x200, value);
    Write16(m, 0, kind == FlashKind::kAmd16 ? 0xF0 : 0xFF);
    EXPECT_EQ(Read16(m, 0x200), 0xFFFFu);
  }
}

TEST(CfiFlashTest, IntelBlocksAreLockedUntilUnlocked) {
  Memory m = MakeFlash(FlashKind::kIntel16);
  Write16(m, 0x2000, 0x40);
  Write16(m, 0x2000, 0x0000);
  EXPECT_EQ(Read16(m, 0x2000), 0x0092u) << "ready, program error, block locked";
  Write16(m, 0, 0x50);
  EXPECT_EQ(Read16(m, 0x2000), 0x0080u);

  Write16(m, 0x2000, 0x60);
  Write16(m, 0x2000, 0xD0);
  Write16(m, 0x2000, 0x40);
  Write16(m, 0x2000, 0x1200);
  EXPECT_EQ(Read16(m, 0x2000), 0x0000u) << "busy: the ready bit is clear";
  ASSERT_GT(PollUntil(m, 0x2000, 0x0080), 1);
  Write16(m, 0x2000, 0x40);
  Write16(m, 0x2000, 0x00FF);  // a 1 over a 0 stays 0
  ASSERT_GT(PollUntil(m, 0x2000, 0x0080), 0);
  Write16(m, 0, 0xFF);
  EXPECT_EQ(Read16(m, 0x2000), 0x0000u);
  EXPECT_EQ(Read16(m, 0x4000), 0xFFFFu);

  Write16(m, 0x2000, 0x20);
  Write16(m, 0x2000, 0xD0);
  EXPECT_GT(PollUntil(m, 0x2000, 0x0080), 100);
  Write16(m, 0, 0xFF);
  EXPECT_EQ(Read16(m, 0x2000), 0xFFFFu);

  Write16(m, 0x4000, 0x20);  // still locked
  Write16(m, 0x4000, 0xD0);
  EXPECT_EQ(Read16(m, 0x4000), 0x00A2u);
  Write16(m, 0x4000, 0x20);  // bad confirm: a sequence error
  Write16(m, 0x4000, 0xFF);
  EXPECT_EQ(Read16(m, 0x4000) & 0x30, 0x30u);
}

TEST(CfiFlashTest, WordStoreIsTwoBusCyclesInAddressOrder) {
  // The program's data cycle as the first half of a 32-bit store: the halfword at the
  // lower address goes first (the low half in little-endian, the high one in
  // big-endian) and the second cycle, arriving while the chip is busy, is ignored.
  for (Endianness e : {Endianness::kLittle, Endianness::kBig}) {
    Memory m = MakeFlash(FlashKind::kAmd16, e);
    bool little = e == Endianness::kLittle;
    AmdCommand(m, 0xA0);
    EXPECT_TRUE(m.Write(kBase + 0x100, 4, little ? 0xBEEF1234u : 0x1234BEEFu));
    EXPECT_GT(PollUntil(m, 0x100, 0x1234), 0);
    EXPECT_EQ(Read16(m, 0x102), 0xFFFFu) << "the second cycle is not a program";
    uint8_t bytes[2] = {};
    ASSERT_TRUE(m.ReadBytes(kBase + 0x100, bytes, 2));
    EXPECT_EQ(bytes[0], little ? 0x34 : 0x12);
    uint32_t word = 0;
    ASSERT_TRUE(m.Read(kBase + 0x100, 4, word));
    EXPECT_EQ(word, little ? 0xFFFF1234u : 0x1234FFFFu);
  }
}

}  // namespace
}  // namespace vsim
