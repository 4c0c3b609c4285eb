// The command line's flash commands on the simulated board's CFI flash, both kinds,
// with and without a work area: images that start and end mid-sector keep the rest of
// their sectors, erase takes exactly the covered sectors, plain writes into flash are
// refused, and the flash variant of the example firmware runs from flash.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "host_test_support.h"

namespace vantrel::test {
namespace {

using Bytes = std::vector<unsigned char>;

const std::string kFlashDemoElf = EXAMPLE_DEMO_FLASH_ELF;
constexpr const char* kWorkArea = "region add 0x120000 0x8000 rw; ";

std::string TempPath(const std::string& name) { return std::string(testing::TempDir()) + name; }

std::vector<std::string> Board(const std::string& kind) {
  return {"--board-memory", "flash@0:1M:" + kind + ",ram@0x100000:256K"};
}

Bytes Pattern(size_t count, unsigned seed) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 31 + (i >> 9));
  return bytes;
}

std::string Saved(const Bytes& bytes, const std::string& name) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

Bytes Load(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void Overlay(Bytes* flash, uint32_t at, const Bytes& bytes) {
  std::copy(bytes.begin(), bytes.end(), flash->begin() + at);
}

struct Layout {
  uint32_t baseAt;
  size_t baseBytes;
  uint32_t patchAt;  // mid-sector, inside the base image
  size_t patchBytes;
  uint32_t tailAt;  // mid-sector, across the base image's end
  size_t tailBytes;
  size_t readBytes;
};

// A base image, then two images that start and end mid-sector over and past it: every
// byte read back is the last image's that covers it, or the base's, or erased.
void WriteAndCheck(const std::string& kind, bool workArea, const Layout& l) {
  const Bytes base = Pattern(l.baseBytes, 3), patch = Pattern(l.patchBytes, 101), tail = Pattern(l.tailBytes, 57);
  const std::string out = TempPath("flash-" + kind + ".bin");
  const std::string commands = std::string("open; connect; ") + (workArea ? kWorkArea : "") +
                               "flash probe 0; flash write " + Saved(base, "base.bin") + " --at " +
                               std::to_string(l.baseAt) + "; flash write " + Saved(patch, "patch.bin") + " --at " +
                               std::to_string(l.patchAt) + "; flash write " + Saved(tail, "tail.bin") + " --at " +
                               std::to_string(l.tailAt) + "; read 0 " + std::to_string(l.readBytes) + " --out " + out;
  const HostRun run = RunCommands(commands, Board(kind));
  ASSERT_EQ(run.exitCode, 0) << kind << (workArea ? " with" : " without") << " a work area\n" << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "erased, programmed, verified")) << run.out;
  Bytes expected(l.readBytes, 0xFF);
  Overlay(&expected, l.baseAt, base);
  Overlay(&expected, l.patchAt, patch);
  Overlay(&expected, l.tailAt, tail);
  const Bytes back = Load(out);
  ASSERT_EQ(back.size(), expected.size());
  for (size_t i = 0; i < back.size(); ++i) {
    ASSERT_EQ(back[i], expected[i]) << kind << " at 0x" << std::hex << i;
  }
}

TEST(FlashSession, BadCommandsAreRefusedWithAReason) {
  const struct {
    const char* command;
    const char* message;
  } cases[] = {
      {"flash", "vantrel: flash: usage: flash probe ADDRESS"},
      {"flash probe", "usage: flash probe ADDRESS"},
      {"flash probe 2", "vantrel: flash: a flash bank starts on a word boundary"},
      {"flash erase 0 16", "vantrel: flash: no probed flash bank holds 0x00000000 (flash probe ADDRESS first)"},
      {"flash erase all", "vantrel: flash: no flash bank probed (flash probe ADDRESS first)"},
      {"flash write /nonexistent.bin --at 0", "vantrel: flash: "},
      {"flash blink", "vantrel: flash: unknown flash command 'blink' (probe, info, erase, write)"},
  };
  for (const auto& c : cases) {
    const HostRun run = RunCommands(std::string("open; connect; ") + c.command);
    EXPECT_EQ(run.exitCode, 1) << c.command;
    EXPECT_TRUE(Contains(run.err, c.message)) << c.command << ": " << run.err;
  }
}

TEST(FlashSession, ProbeAnswersTheGeometryOfBothKinds) {
  for (const char* kind : {"amd16", "intel16"}) {
    const HostRun run = RunCommands("open; connect; flash probe 0; flash info", Board(kind));
    ASSERT_EQ(run.exitCode, 0) << kind << run.err;
    EXPECT_TRUE(Contains(run.out, "flash     0x00000000  0x00100000  ")) << run.out;
    EXPECT_TRUE(
        Contains(run.out, std::string(kind) == "amd16" ? "AMD standard (0002), 1 MiB, x16, bottom boot" : "Intel"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "work area none")) << run.out;
  }
}

TEST(FlashSession, ImagesStartingAndEndingMidSectorKeepTheRestOfTheirSectors) {
  const Layout large{0x0, 0x20000, 0x2100, 0x300, 0x1F800, 0x1000, 0x30000};
  WriteAndCheck("amd16", true, large);
  WriteAndCheck("intel16", true, large);
  // The host's own cycles cost a few library calls a halfword: a smaller image.
  WriteAndCheck("intel16", false, {0x1000, 0x2000, 0x1F00, 0x100, 0x2F00, 0x200, 0x4000});
}

TEST(FlashSession, AnAmdChipWithoutAWorkAreaIsRefusedWithAReason) {
  const HostRun run = RunCommands("open; connect; flash probe 0; flash erase 0 2", Board("amd16"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "vantrel: flash: erase: this chip's commands need halfword stores")) << run.err;
}

TEST(FlashSession, EraseTakesExactlyTheCoveredSectorsAndPlainWritesAreRefused) {
  const std::string after = TempPath("erase-after.bin");
  const Bytes image = Pattern(0x30000, 9);
  const HostRun run =
      RunCommands(std::string("open; connect; ") + kWorkArea + "flash probe 0; flash write " +
                      Saved(image, "erase.bin") + " --at 0; flash erase 0x10010 2; read 0 0x30000 --out " + after +
                      "; write 0x100 11 22; flash probe 0x100000; read 0x100000 4",
                  {"--keep-going", Board("amd16")[0], Board("amd16")[1]});
  EXPECT_EQ(run.exitCode, 1);
  // One 64 KiB sector, 0x10000 to 0x1ffff, and nothing around it.
  EXPECT_TRUE(Contains(run.out, "erased    1 sectors: 0x00010000-0x0001ffff")) << run.out << run.err;
  Bytes expected = image;
  std::fill(expected.begin() + 0x10000, expected.begin() + 0x20000, 0xFF);
  EXPECT_TRUE(Load(after) == expected);
  EXPECT_TRUE(Contains(run.err, "vantrel: write: use flash write")) << run.err;
  EXPECT_TRUE(Contains(run.err, "vantrel: flash: no CFI answer at the address")) << run.err;
}

TEST(FlashSession, TheFlashExampleIsWrittenAndRunsFromFlash) {
  const HostRun run = RunHost({kHost, "-q", Board("amd16")[0], Board("amd16")[1], "-f", kSessions + "/flash.vtl"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "erased, programmed, verified")) << run.out;
  EXPECT_TRUE(Contains(run.out, "fibonacci  (hardware breakpoint)")) << run.out;
  EXPECT_TRUE(Contains(run.out, "52 45 53 55 4c 54 53 00")) << run.out;  // "RESULTS" in RAM
}

// load of an ELF whose code lies in a probed flash goes through the flash layer.
TEST(FlashSession, LoadOfAFlashImageProgramsTheFlash) {
  const HostRun run = RunCommands(
      std::string("open; connect; ") + kWorkArea + "flash probe 0; load " + kFlashDemoElf + "; reg pc; read 0 4",
      Board("intel16"));
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "erased, programmed, verified")) << run.out;
  EXPECT_TRUE(Contains(run.out, "pc         0x00000020")) << run.out;
  EXPECT_TRUE(Contains(run.out, "00000000  06 00 00 ea")) << run.out;  // b _start
}

}  // namespace
}  // namespace vantrel::test
