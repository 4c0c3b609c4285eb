// The image readers on the example firmware as the ARM toolchain built it, and on
// files that are broken in the ways real files break.
#include <gtest/gtest.h>

#include <cstring>

#include "elf_builder.h"
#include "image.h"
#include "user_files.h"

namespace vantrel::cli {
namespace {

std::vector<unsigned char> FileBytes(const char* path) {
  std::vector<unsigned char> bytes;
  std::string error;
  EXPECT_TRUE(ReadUserFile(path, kMaxUserFileBytes, &bytes, &error)) << error;
  return bytes;
}

TEST(IntelHex, MergesRecordsAndTakesExtendedAddressesAndTheStartAddress) {
  const std::string text =
      ":020000040001F9\n"        // upper address 0x0001xxxx
      ":0400000001020304F2\n"    // 0x10000
      ":0400040005060708DE\r\n"  // 0x10004: joins the first
      ":02001000AABB89\n"        // 0x10010: a separate block
      ":0400000500010020D6\n"    // start linear address 0x00010020
      ":00000001FF\n";
  Image image;
  std::string error;
  ASSERT_TRUE(ReadIntelHex(text, &image, &error)) << error;
  ASSERT_EQ(image.segments.size(), 2u);
  EXPECT_EQ(image.segments[0].address, 0x10000u);
  EXPECT_EQ(image.segments[0].bytes, (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(image.segments[1].address, 0x10010u);
  EXPECT_EQ(image.entry, 0x10020u);
}

TEST(IntelHex, RefusesBrokenFilesWithTheLineAndTheReason) {
  const struct {
    const char* text;
    const char* reason;
  } cases[] = {
      {":0400000001020304F3\n:00000001FF\n", "line 1: checksum mismatch"},
      {":0400000001020304F2\n", "no end-of-file record"},
      {":0400000001020304F2\n:0400020001020304F0\n:00000001FF\n", "line 2: data overlaps"},
      {":0400000601020304EC\n:00000001FF\n", "line 1: unknown record type 6"},
      {":0500000001020304F2\n:00000001FF\n", "line 1: the record's length"},
      {":04000000010203\n", "line 1: the record's length"},
      {":00000001FF\n:0400000001020304F2\n", "line 2: data after the end-of-file"},
      {"hello\n", "line 1: not a HEX record"},
      {":0G000001FF\n", "line 1: not a HEX record"},
      {":00000001FF\n", "no data records"},
      {":02000004FFFFFC\n:04FFFE0001020304F5\n:00000001FF\n", "past the end of the 32-bit address space"},
  };
  for (const auto& c : cases) {
    Image image;
    std::string error;
    EXPECT_FALSE(ReadIntelHex(c.text, &image, &error)) << c.text;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << " gave: " << error;
  }
}

TEST(ElfImage, ReadsTheExampleFirmware) {
  Image image;
  std::string error;
  ASSERT_TRUE(ReadElfImage(FileBytes(EXAMPLE_DEMO_ELF), &image, &error)) << error;
  const Symbol* start = image.symbols.Find("_start");
  const Symbol* fibonacci = image.symbols.Find("fibonacci");
  const Symbol* record = image.symbols.Find("record_result");
  ASSERT_TRUE(start && fibonacci && record);
  EXPECT_EQ(image.entry, start->address);
  EXPECT_TRUE(fibonacci->thumb);
  EXPECT_EQ(fibonacci->address % 2, 0u);
  EXPECT_FALSE(record->thumb);
  EXPECT_EQ(image.symbols.Describe(record->address + 4), "record_result+0x4");
  EXPECT_EQ(image.symbols.Find("$a"), nullptr);
  ASSERT_EQ(image.segments.size(), 1u);
  EXPECT_EQ(image.segments[0].address, 0u);
  // The linker's raw image is exactly the loadable bytes.
  EXPECT_EQ(image.segments[0].bytes, FileBytes(EXAMPLE_DEMO_BIN));
}

TEST(ElfImage, HexAndElfOfTheSameProgramAgree) {
  Image elf, hex;
  std::string error;
  ASSERT_TRUE(LoadImageFile(EXAMPLE_DEMO_ELF, std::nullopt, &elf, &error)) << error;
  ASSERT_TRUE(LoadImageFile(EXAMPLE_DEMO_HEX, std::nullopt, &hex, &error)) << error;
  EXPECT_EQ(hex.format, "Intel HEX");
  ASSERT_EQ(hex.segments.size(), 1u);
  EXPECT_EQ(hex.segments[0].address, elf.segments[0].address);
  EXPECT_EQ(hex.segments[0].bytes, elf.segments[0].bytes);
  EXPECT_EQ(hex.entry, elf.entry);
}

TEST(ElfImage, CutShortAtAnyLengthGivesAnErrorNotACrash) {
  const std::vector<unsigned char> whole = FileBytes(EXAMPLE_DEMO_ELF);
  Image full;
  std::string fullError;
  ASSERT_TRUE(ReadElfImage(whole, &full, &fullError)) << fullError;
  for (size_t length = 0; length < whole.size(); length += length < 256 ? 1 : 97) {
    const std::vector<unsigned char> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    Image image;
    std::string error;
    // Once the program headers and the segment are in, the load may succeed without
    // symbols; before, it must fail with a reason.
    if (!ReadElfImage(cut, &image, &error)) EXPECT_FALSE(error.empty()) << length;
    else EXPECT_EQ(image.segments[0].bytes, full.segments[0].bytes) << length;
  }
}

TEST(ElfImage, RefusesOtherMachinesClassesAndLyingHeaders) {
  const std::vector<unsigned char> whole = FileBytes(EXAMPLE_DEMO_ELF);
  const auto patched = [&](size_t offset, std::vector<unsigned char> bytes) {
    std::vector<unsigned char> copy = whole;
    std::memcpy(copy.data() + offset, bytes.data(), bytes.size());
    Image image;
    std::string error;
    EXPECT_FALSE(ReadElfImage(copy, &image, &error));
    return error;
  };
  EXPECT_NE(patched(18, {62, 0}).find("not an ARM"), std::string::npos);        // e_machine x86-64
  EXPECT_NE(patched(4, {2}).find("ELF"), std::string::npos);                    // ELFCLASS64
  EXPECT_NE(patched(16, {1, 0}).find("not an executable"), std::string::npos);  // ET_REL
  EXPECT_FALSE(patched(28, {0xF0, 0xFF, 0xFF, 0x7F}).empty());                  // e_phoff far out
  // The segment's file offset and size (program header at e_phoff 52: p_offset +4,
  // p_filesz +16) pointing past the end of the file.
  EXPECT_NE(patched(52 + 16, {0x00, 0x00, 0x10, 0x00}).find("outside"), std::string::npos);
}

TEST(ElfImage, RefusesSegmentsThatOverlap) {
  const struct {
    uint32_t second;
    bool overlaps;
  } cases[] = {{0x100, false}, {0xFC, true}, {0x0, true}, {0x80, true}};
  for (const auto& c : cases) {
    // The first segment covers 0x00 to 0xFF; the second is listed first in the file.
    const auto file = test::ElfBuilder()
                          .Segment(c.second, std::vector<unsigned char>(16, 0xBB))
                          .Segment(0, std::vector<unsigned char>(256, 0xAA))
                          .Function("main", 0, 8)
                          .Build();
    Image image;
    std::string error;
    EXPECT_EQ(ReadElfImage(file, &image, &error), !c.overlaps) << c.second << ": " << error;
    if (c.overlaps) {
      EXPECT_NE(error.find("loadable segments overlap"), std::string::npos) << error;
    }
  }
}

TEST(ImageFile, RawNeedsAnAddressAndElfRefusesOne) {
  Image image;
  std::string error;
  EXPECT_FALSE(LoadImageFile(EXAMPLE_DEMO_BIN, std::nullopt, &image, &error));
  EXPECT_NE(error.find("give --at ADDRESS"), std::string::npos);
  EXPECT_FALSE(LoadImageFile(EXAMPLE_DEMO_ELF, 0x8000u, &image, &error));
  EXPECT_NE(error.find("--at is for raw binaries"), std::string::npos);
  EXPECT_FALSE(LoadImageFile(EXAMPLE_DEMO_BIN, 0xFFFFFF00u, &image, &error));
  EXPECT_NE(error.find("does not fit"), std::string::npos);
  EXPECT_FALSE(LoadImageFile("/nonexistent/image.bin", 0u, &image, &error));
  EXPECT_NE(error.find("No such file"), std::string::npos);
  ASSERT_TRUE(LoadImageFile(EXAMPLE_DEMO_BIN, 0x8000u, &image, &error)) << error;
  EXPECT_EQ(image.entry, 0x8000u);
  EXPECT_EQ(image.format, "raw");
}

}  // namespace
}  // namespace vantrel::cli
