// An image with a very large symbol table in the worst order for a table kept sorted
// while it is filled. Its own program, so that CTest's timeout for it can be tight
// enough to catch a reader that sorts as it goes (quadratic: over a minute here) and
// still leave the sorted reader (a fraction of a second) a wide margin.
#include <gtest/gtest.h>

#include <cstdio>

#include "elf_builder.h"
#include "image.h"

namespace vantrel::cli {
namespace {

TEST(ElfSymbols, TwoHundredThousandInDescendingOrderAreReadAndSorted) {
  constexpr uint32_t kCount = 200000;
  test::ElfBuilder builder;
  builder.Segment(0, std::vector<unsigned char>(64, 0));
  for (uint32_t i = kCount; i-- > 0;) {
    char name[16];
    std::snprintf(name, sizeof name, "f%06u", i);
    builder.Function(name, i * 4, 4);
  }
  Image image;
  std::string error;
  ASSERT_TRUE(ReadElfImage(builder.Build(), &image, &error)) << error;
  EXPECT_EQ(image.symbols.Size(), kCount);
  EXPECT_EQ(image.symbols.Describe(0), "f000000");
  EXPECT_EQ(image.symbols.Describe(4 * 123456 + 2), "f123456+0x2");
  EXPECT_EQ(image.symbols.Describe(4 * (kCount - 1)), "f199999");
  ASSERT_NE(image.symbols.Find("f000007"), nullptr);
  EXPECT_EQ(image.symbols.Find("f000007")->address, 28u);
}

}  // namespace
}  // namespace vantrel::cli
