// The GDB server's memory cache: which reads reach the target, widened how far, and
// what a write or a failed read leaves behind; and the readable regions it may widen into.
#include "memory_cache.h"

#include <gtest/gtest.h>

#include <vector>

#include "readable_regions.h"

namespace vantrel::gdb {
namespace {

constexpr uint32_t kBlock = 32;

struct Range {
  uint32_t address;
  size_t length;
  bool operator==(const Range&) const = default;
};

// A target whose byte at a is the low byte of a, and which remembers what was fetched.
class CountingTarget {
 public:
  MemoryCache::Fetch Fetch() {
    return [this](uint32_t address, size_t length, unsigned char* out) {
      fetched.push_back({address, length});
      if (fail) return false;
      for (size_t i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(address + i + offset);
      return true;
    };
  }
  std::vector<Range> fetched;
  bool fail = false;
  unsigned char offset = 0;  // what the memory holds now, beside the address
};

struct WideningCase {
  const char* what;
  std::vector<ReadableWindow> windows;
  Range request;
  Range fetched;
};

TEST(MemoryCacheTest, ReadsAreWidenedToBlocksOnlyInsideTheWindowThatHoldsThem) {
  const std::vector<WideningCase> cases = {
      {"inside a window: whole blocks", {{0, 0x1000}}, {0x104, 4}, {0x100, 32}},
      {"across a block boundary: both blocks", {{0, 0x1000}}, {0x11e, 4}, {0x100, 64}},
      {"no window: exactly the request", {}, {0x104, 4}, {0x104, 4}},
      {"only partly in a window: exactly", {{0, 0x106}}, {0x104, 4}, {0x104, 4}},
      {"window edges clip the blocks", {{0x102, 0x10a}}, {0x104, 4}, {0x102, 8}},
      {"another window: exactly", {{0x200, 0x300}}, {0x104, 4}, {0x104, 4}},
      {"the top of the address space", {{0xFFFFFF00, 0x100000000}}, {0xFFFFFFFC, 4}, {0xFFFFFFE0, 32}},
  };
  for (const WideningCase& c : cases) {
    MemoryCache cache(kBlock);
    CountingTarget target;
    std::vector<unsigned char> bytes(c.request.length);
    ASSERT_TRUE(cache.Read(c.request.address, c.request.length, bytes.data(), c.windows, target.Fetch())) << c.what;
    EXPECT_EQ(target.fetched, std::vector<Range>{c.fetched}) << c.what;
    for (size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], static_cast<unsigned char>(c.request.address + i));
  }
}

TEST(MemoryCacheTest, ServesWhatItReadUntilDroppedAndFetchesOnlyWhatItLacks) {
  const std::vector<ReadableWindow> ram = {{0, 0x1000}};
  MemoryCache cache(kBlock);
  CountingTarget target;
  unsigned char bytes[64];
  ASSERT_TRUE(cache.Read(0x104, 4, bytes, ram, target.Fetch()));
  ASSERT_TRUE(cache.Read(0x100, 32, bytes, ram, target.Fetch()));
  EXPECT_EQ(target.fetched.size(), 1u) << "a second read of the same block goes nowhere";

  // Memory changes behind the cache (the core ran): a write's blocks and a full drop
  // make the next read fetch the new bytes; the rest of the cache still serves.
  target.offset = 0x40;
  ASSERT_TRUE(cache.Read(0x120, 4, bytes, ram, target.Fetch()));
  cache.Drop(0x11f, 2);  // touches both blocks
  ASSERT_TRUE(cache.Read(0x100, 64, bytes, ram, target.Fetch()));
  EXPECT_EQ(target.fetched.back(), (Range{0x100, 64}));
  EXPECT_EQ(bytes[0], 0x40);
  cache.Drop();
  ASSERT_TRUE(cache.Read(0x104, 4, bytes, {}, target.Fetch()));
  EXPECT_EQ(target.fetched.back(), (Range{0x104, 4}));

  // Unwidened reads keep what they fetched: a longer read fetches only the gap.
  ASSERT_TRUE(cache.Read(0x100, 12, bytes, {}, target.Fetch()));
  EXPECT_EQ(target.fetched.size(), 5u);
  EXPECT_EQ(target.fetched.back(), (Range{0x100, 12})) << "the unknown span, one read";
  ASSERT_TRUE(cache.Read(0x100, 12, bytes, {}, target.Fetch()));
  EXPECT_EQ(target.fetched.size(), 5u);
}

TEST(MemoryCacheTest, AFailedReadLeavesNothingBehind) {
  MemoryCache cache(kBlock);
  CountingTarget target;
  unsigned char bytes[4];
  target.fail = true;
  EXPECT_FALSE(cache.Read(0x104, 4, bytes, {{0, 0x1000}}, target.Fetch()));
  target.fail = false;
  ASSERT_TRUE(cache.Read(0x104, 4, bytes, {{0, 0x1000}}, target.Fetch()));
  EXPECT_EQ(target.fetched.size(), 2u);
}

TEST(ReadableRegionsTest, OnlyReadOnlyAndReadWriteRowsOfTheListing) {
  const std::string listing =
      "No    StartAddr     Length        Property\r\n"
      "01    0x00000000    0x00040000    -RW\r\n"
      "02    0x00080000    0x00010000    -R\r\n"
      "03    0x00100000    0x00001000    -W\r\n"
      "04    0xfffff000    0x00001000    -RW\r\n";
  const std::vector<ReadableWindow> windows = ParseReadableRegions(listing);
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0].start, 0u);
  EXPECT_EQ(windows[0].end, 0x40000u);
  EXPECT_EQ(windows[1].start, 0x80000u);
  EXPECT_EQ(windows[1].end, 0x90000u);
  EXPECT_EQ(windows[2].end, 0x100000000u);
  EXPECT_TRUE(ParseReadableRegions("no memory configuration\r\n").empty());
  EXPECT_TRUE(ParseReadableRegions("").empty());
}

}  // namespace
}  // namespace vantrel::gdb
