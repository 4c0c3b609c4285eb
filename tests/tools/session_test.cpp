// Whole sessions of the vantrel program against the simulated board: the README's demo
// script, the loaders, transfers and the board options.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "host_test_support.h"
#include "image.h"

namespace vantrel::test {
namespace {

// What the demo firmware computes (examples/firmware/demo_*.c), worked out here.
uint32_t DemoChecksum() {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < 1024; ++i) sum = (sum << 5 | sum >> 27) ^ (i * i + 1);
  return sum;
}
uint32_t DemoTableSum() {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < 1024; ++i) sum += i * i + 1;
  return sum;
}

cli::SymbolTable DemoSymbols() {
  cli::Image image;
  std::string error;
  EXPECT_TRUE(cli::LoadImageFile(kDemoElf, std::nullopt, &image, &error)) << error;
  return image.symbols;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

// The part of a session's output that one echoed command printed.
std::string OutputOf(const std::string& out, const std::string& command, int occurrence = 1) {
  size_t at = 0;
  for (int i = 0; i < occurrence; ++i) {
    at = out.find("> " + command + "\n", i == 0 ? 0 : at + 1);
    if (at == std::string::npos) return "";
  }
  at = out.find('\n', at) + 1;
  const size_t end = out.find("\n> ", at);
  return out.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
}

// "r1         0xc03e37f7" -> "0xc03e37f7" for the first line naming the register.
std::string Field(const std::string& text, const std::string& name) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string first, second;
    if (words >> first >> second && first == name) return second;
  }
  return "";
}

// Reads a hex dump back into bytes by address.
std::map<uint32_t, uint8_t> DumpBytes(const std::string& dump) {
  std::map<uint32_t, uint8_t> bytes;
  std::istringstream lines(dump);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() < 60) continue;
    const uint32_t base = static_cast<uint32_t>(std::stoul(line.substr(0, 8), nullptr, 16));
    for (uint32_t i = 0; i < 16; ++i) {
      const std::string cell = line.substr(10 + i * 3 + (i >= 8 ? 1 : 0), 2);
      if (cell != "  ") bytes[base + i] = static_cast<uint8_t>(std::stoul(cell, nullptr, 16));
    }
  }
  return bytes;
}

uint32_t WordAt(const std::map<uint32_t, uint8_t>& bytes, uint32_t address) {
  uint32_t word = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    const auto found = bytes.find(address + i);
    if (found == bytes.end()) return 0xDEADDEAD;
    word |= static_cast<uint32_t>(found->second) << (8 * i);
  }
  return word;
}

std::string TempPath(const char* name) { return std::string(testing::TempDir()) + name; }

TEST(HostSession, TheReadmeDemoStopsAtEachBreakpointWithTheExpectedState) {
  const HostRun run = RunHost({kHost, "-f", kSessions + "/demo.vtl"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(run.err, "vantrel: simulated board on lpt1")) << run.err;
  const cli::SymbolTable symbols = DemoSymbols();
  const uint32_t record = symbols.Find("record_result")->address;
  const uint32_t fibonacci = symbols.Find("fibonacci")->address;
  const uint32_t results = symbols.Find("results")->address;

  EXPECT_TRUE(Contains(OutputOf(run.out, "wait 10", 1),
                       "stopped at " + Hex(record) + "  record_result  (software breakpoint)"));
  const std::string regs = OutputOf(run.out, "regs", 1);
  EXPECT_EQ(Field(regs, "pc"), Hex(record));
  EXPECT_TRUE(Contains(regs, Hex(record) + "  record_result")) << regs;
  EXPECT_EQ(Field(regs, "r0"), Hex(1));                   // round 1
  EXPECT_EQ(Field(regs, "r1"), Hex(DemoChecksum() ^ 1));  // its checksum, from Thumb code
  EXPECT_TRUE(Contains(Field(regs, "cpsr"), "0x")) << regs;

  const auto before = DumpBytes(OutputOf(run.out, "read results 24", 1));
  EXPECT_TRUE(Contains(OutputOf(run.out, "read results 24", 1), "RESULTS."));
  EXPECT_EQ(WordAt(before, results + 8), 0u);  // no round recorded yet
  EXPECT_EQ(WordAt(before, results + 20), DemoTableSum());

  EXPECT_TRUE(
      Contains(OutputOf(run.out, "wait 10", 2), "stopped at " + Hex(fibonacci) + "  fibonacci  (hardware breakpoint)"));
  const auto after = DumpBytes(OutputOf(run.out, "read results 24", 2));
  EXPECT_EQ(WordAt(after, results + 8), 1u);
  EXPECT_EQ(WordAt(after, results + 12), DemoChecksum() ^ 1);

  EXPECT_TRUE(Contains(OutputOf(run.out, "delete --all"), "deleted   hardware breakpoint"));
  EXPECT_TRUE(Contains(OutputOf(run.out, "stop"), "stopped at 0x"));
  EXPECT_TRUE(Contains(OutputOf(run.out, "disconnect"), "disconnected"));
}

TEST(HostSession, TheMemoryExampleLeavesThePrimesInMemory) {
  const HostRun run = RunHost({kHost, "-f", kSessions + "/memory.vtl"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(OutputOf(run.out, "read prime_count 4"), "34 02 00 00")) << run.out;  // 564
  EXPECT_TRUE(Contains(OutputOf(run.out, "read 0x30000 8"), "|Vantrel!        |")) << run.out;
}

TEST(HostSession, HexAndRawImagesLoadAndVerifyLikeTheElf) {
  const uint32_t table = DemoSymbols().Find("table")->address;
  const std::string readTable = "; read " + Hex(table + 4) + " 8";
  for (const std::string& load :
       {"load " + kDemoHex + " --verify", "load " + kDemoBin + " --at 0 --entry 0x20 --verify"}) {
    const HostRun run = RunCommands("open; connect; " + load + readTable);
    ASSERT_EQ(run.exitCode, 0) << load << "\n" << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "entry     0x00000020")) << run.out;
    const auto bytes = DumpBytes(run.out.substr(run.out.find("entry")));
    EXPECT_EQ(WordAt(bytes, table + 4), 2u) << load;  // table[1] = 1 * 1 + 1
    EXPECT_EQ(WordAt(bytes, table + 8), 5u) << load;
  }
}

// The same session with --fast prints the same and moves the same bytes.
TEST(HostSession, LongTransfersRoundTripThroughBackgroundJobs) {
  std::vector<unsigned char> data(3000);
  std::mt19937 random(7);
  for (auto& byte : data) byte = static_cast<unsigned char>(random());
  const std::string in = TempPath("vantrel-data.bin"), out = TempPath("vantrel-back.bin");
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  std::string exactOutput;
  for (const std::vector<std::string>& options : {std::vector<std::string>{}, std::vector<std::string>{"--fast"}}) {
    // An odd address and length: the host widens the write to whole words.
    const HostRun run = RunCommands(
        "open; connect; write 0x2003 --file " + in + " --verify; read 0x2003 3000 --out " + out + "; read 0x2000 4",
        options);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    std::ifstream back(out, std::ios::binary);
    const std::vector<unsigned char> read((std::istreambuf_iterator<char>(back)), std::istreambuf_iterator<char>());
    EXPECT_EQ(read, data);
    EXPECT_TRUE(Contains(run.out, "saved     3000 bytes from 0x00002003"));
    if (options.empty()) exactOutput = run.out;
    else EXPECT_EQ(run.out, exactOutput);
  }
}

TEST(HostSession, APartialWordWriteKeepsTheNeighbouringBytes) {
  const HostRun run =
      RunCommands("open; connect; write 0x1000 11 22 33 44 55 66 77 88; write 0x1003 aabb; read 0x1000 8");
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "00001000  11 22 33 aa bb 66 77 88")) << run.out;
}

// "regs usr" shows the User mode's sp and lr, the ones "reg r13_usr" names, also while
// the core is halted in another mode with sp and lr of its own.
TEST(HostSession, RegsUsrShowsTheUserModesRegisters) {
  const HostRun run = RunHost(
      {kHost, "open; connect; reg cpsr 0xd3; reg r13_usr 0x1300; reg r14_usr 0x1400; reg r8 0x800; reg sp 0x2300; "
              "reg lr 0x2400; regs usr"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  const std::string regs = OutputOf(run.out, "regs usr");
  EXPECT_EQ(Field(regs, "r13_usr"), Hex(0x1300)) << regs;
  EXPECT_EQ(Field(regs, "r14_usr"), Hex(0x1400)) << regs;
  EXPECT_EQ(Field(regs, "r8_usr"), Hex(0x800)) << regs;
  EXPECT_EQ(Field(regs, "cpsr"), Hex(0xd3)) << regs;
  EXPECT_EQ(Field(regs, "sp"), "") << "no unlabelled sp of the current mode\n" << regs;
}

TEST(HostSession, StatusDescribesTheCoreOnlyAsFarAsTheStateShowsIt) {
  const struct {
    const char* commands;
    const char* core;
    const char* isa;  // empty: no isa line, the instruction set is unknown
  } cases[] = {
      {"status", "not under debug control", ""},
      {"open; connect; status", "halted in debug state", "ARM"},
      {"open; connect; run; status", "running", ""},
      {"open; connect; break 0x40 --hw; run; status", "halted at a breakpoint", "ARM"},
      {"open; connect; disconnect; status", "not under debug control", ""},
  };
  for (const auto& c : cases) {
    const HostRun run = RunCommands(c.commands);
    EXPECT_EQ(run.exitCode, 0) << c.commands << "\n" << run.err;
    EXPECT_TRUE(Contains(run.out, std::string("core       ") + c.core)) << c.commands << "\n" << run.out;
    if (*c.isa != '\0') EXPECT_TRUE(Contains(run.out, std::string("isa        ") + c.isa)) << c.commands;
    else EXPECT_FALSE(Contains(run.out, "isa ")) << c.commands << "\n" << run.out;
  }
}

TEST(HostSession, BoardOptionsShapeTheSimulatedBoard) {
  // ROM at 0: the download cannot store the image, and its verify says so.
  HostRun run =
      RunCommands("open; connect; load " + kDemoElf + " --verify", {"--board-memory", "rom@0:64K,ram@0x10000:64K"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "vantrel: load: verify failed")) << run.err;
  EXPECT_TRUE(Contains(run.err, "ROM 0x00000000+64K, RAM 0x00010000+64K")) << run.err;

  run = RunCommands("open; connect", {"--board-idcode", "0x12345678"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "vantrel: connect: target not found, please check power and hardware connection"));
  EXPECT_TRUE(Contains(run.err, "either the JTAG ID code was not an ARM7TDMI's, or the core did not halt")) << run.err;

  // Big-endian memory: bytes stay in address order through the host.
  run = RunCommands("open; connect --big-endian; write 0x100 01020304; read 0x100 4", {"--board-endian", "big"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "connected big-endian"));
  EXPECT_TRUE(Contains(run.out, "00000100  01 02 03 04")) << run.out;

  // A flash chip: erased, and plain data writes are not commands, so it keeps its bytes.
  run = RunCommands("open; connect; write 0x1000000 01020304; read 0x1000000 4",
                    {"--board-memory", "ram@0:64K,flash@0x1000000:256K:intel16"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "01000000  ff ff ff ff")) << run.out;

  run = RunCommands("version", {"--board-memory", "ram@0:3"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(Contains(run.err, "multiples of 4")) << run.err;
}

TEST(HostSession, DisconnectTakesTheBreakpointsOutOfMemoryFirst) {
  const uint32_t record = DemoSymbols().Find("record_result")->address;
  const HostRun run =
      RunHost({kHost, "open; connect; load " + kDemoElf +
                          "; read record_result 4; break record_result; "
                          "break fibonacci --hw; disconnect; open; connect; read record_result 4; breaks"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "deleted   " + Hex(record) + "  record_result"));
  EXPECT_TRUE(Contains(run.out, "deleted   hardware breakpoint"));
  // The instruction under the breakpoint is back, the same as before it was set.
  const std::string before = OutputOf(run.out, "read record_result 4", 1);
  EXPECT_TRUE(Contains(before, Hex(record).substr(2) + "  ")) << run.out;
  EXPECT_EQ(OutputOf(run.out, "read record_result 4", 2), before);
  EXPECT_TRUE(Contains(run.out, "no breakpoints"));
}

TEST(HostSession, WatchStopsAfterTheWatchedWriteAndUnwatchRemovesIt) {
  const std::string iterations = Hex(DemoSymbols().Find("results")->address + 8);
  const HostRun run = RunHost({kHost, "open; connect; load " + kDemoElf +
                                          "; watch results+8; watch; run; wait 10; run; wait 10; read results+8 4; "
                                          "unwatch results+8; watch; run; stop"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(OutputOf(run.out, "watch"), "write     " + iterations + "  results+0x8  4 bytes\n");
  // The start-up code's clearing of the variables first, then record_result's store of
  // the first round's number.
  EXPECT_TRUE(Contains(OutputOf(run.out, "wait 10"), "(write watchpoint " + iterations)) << run.out;
  const std::string stop = OutputOf(run.out, "wait 10", 2);
  EXPECT_TRUE(Contains(stop, "record_result+")) << stop;
  EXPECT_TRUE(Contains(stop, "(write watchpoint " + iterations + "  results+0x8)")) << stop;
  EXPECT_TRUE(Contains(OutputOf(run.out, "read results+8 4"), iterations.substr(2) + "  01 00 00 00")) << run.out;
  EXPECT_TRUE(Contains(run.out, "deleted   watchpoint " + iterations + "  results+0x8"));
  EXPECT_EQ(OutputOf(run.out, "watch", 2), "no watchpoints\n");
  EXPECT_FALSE(Contains(OutputOf(run.out, "stop"), "watchpoint")) << "the program ran on unwatched";
}

TEST(HostSession, RegionsAreDeclaredListedAndEnforcedByTheLibrary) {
  const HostRun run =
      RunCommands("open; connect; region add 0x8000 0x1000 ro; regions; write 0x8000 01020304", {"--keep-going"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.out, "01    0x00008000    0x00001000    -R")) << run.out;
  EXPECT_TRUE(Contains(run.err, "vantrel: write: ")) << run.err;
}

TEST(HostSession, CommandsComeFromAScriptFileOrStandardInput) {
  const std::string script = TempPath("vantrel-script.vtl");
  std::ofstream(script) << "# comment line\nopen\n\nconnect   # trailing comment\nreg pc\n";
  HostRun run = RunHost({kHost, "-f", script});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "> reg pc\npc         0x00000000")) << run.out;

  run = RunHost({kHost}, "open\nconnect\nreg pc\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "pc         0x00000000")) << run.out;
}

}  // namespace
}  // namespace vantrel::test
