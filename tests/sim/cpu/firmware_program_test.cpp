// Real programs built by the ARM cross compiler (ARM and Thumb halves calling each
// other, libgcc helpers, SWI and undefined-instruction handlers) run on the simulated
// core, and their results must equal the same C code compiled for the host.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cpu/arm_cpu.h"
#include "cpu/ram_bus.h"
#include "firmware/workload.h"

namespace vsim {
namespace {

constexpr uint32_t kRamSize = 0x40000;  // the firmware's default memory region
constexpr uint32_t kMailbox = 0x20;
constexpr uint32_t kDone = 0x600DF00Du;
constexpr uint64_t kStepLimit = 20'000'000;

std::vector<uint8_t> ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

uint32_t Word(const RamBus& bus, uint32_t address) {
  uint32_t value = 0;
  EXPECT_TRUE(bus.Peek(address, 4, value)) << std::hex << address;
  return value;
}

// Loads a program image at 0 and runs it from reset until it branches to itself.
class ProgramRun {
 public:
  explicit ProgramRun(RamBus::Endian endian = RamBus::Endian::kLittle) : bus(0, kRamSize, endian) {}

  // Empty when the program finished; otherwise what went wrong.
  std::string Run(const char* imagePath) {
    const std::vector<uint8_t> image = ReadFile(imagePath);
    if (image.empty() || !bus.LoadImage(0, image)) return std::string("cannot load ") + imagePath;
    for (uint64_t steps = 0; steps < kStepLimit; ++steps) {
      const uint32_t pc = cpu.NextPc();
      const ExecResult result = cpu.Step(bus);
      if (result.pcWritten && cpu.NextPc() == pc) {
        const uint32_t state = Word(bus, kMailbox);
        if (state == kDone) return {};
        std::ostringstream out;
        out << std::hex << "stopped with state " << state << " at pc " << pc;
        return out.str();
      }
    }
    return "no end loop within the step budget";
  }

  std::vector<uint32_t> Results() {
    const uint32_t address = Word(bus, kMailbox + 8);
    const uint32_t count = Word(bus, kMailbox + 12);
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < count && i < 256; ++i) words.push_back(Word(bus, address + 4 * i));
    return words;
  }

  ArmCpu cpu;
  RamBus bus;
};

std::vector<uint32_t> HostResults() {
  std::vector<uint32_t> expected(kWorkloadMaxWords);
  expected.resize(run_workload(expected.data()));
  expected.push_back(swi_service(0x21, 7, 9));
  expected.push_back(swi_service(0x42, 1234, 5678) + 1);  // +1: the handler saw Thumb state
  expected.push_back(0xE7F000F0u);                        // the undefined ARM word, as the handler read it
  expected.push_back(0xDE00u);                            // the undefined Thumb halfword
  return expected;
}

TEST(SimCpuFirmware, ArmAndThumbWorkloadMatchesTheHost) {
  ProgramRun program;
  ASSERT_EQ(program.Run(SIM_CPU_WORKLOAD_BIN), "");
  const std::vector<uint32_t> results = program.Results();
  EXPECT_EQ(results, HostResults());
  EXPECT_EQ(Word(program.bus, kMailbox + 4), results.size());  // main's return value came back

  // The program ends in User mode; every mode's stack pointer is where the startup put it.
  const ArmCpu& cpu = program.cpu;
  EXPECT_EQ(cpu.CurrentMode(), Mode::kUser);
  EXPECT_EQ(cpu.BankedReg(Mode::kSupervisor, 13), kRamSize);
  EXPECT_EQ(cpu.BankedReg(Mode::kIrq, 13), kRamSize - 0x400);
  EXPECT_EQ(cpu.BankedReg(Mode::kFiq, 13), kRamSize - 0x800);
  EXPECT_EQ(cpu.BankedReg(Mode::kAbort, 13), kRamSize - 0xC00);
  EXPECT_EQ(cpu.BankedReg(Mode::kUndefined, 13), kRamSize - 0x1000);
}

// The same source built little- and big-endian, each on a memory of its own byte order:
// the computed words agree with the host, the byte-order probes follow the build.
TEST(SimCpuFirmware, BothByteOrdersRunTheSameProgram) {
  struct Build {
    const char* image;
    RamBus::Endian endian;
    std::vector<uint32_t> probes;  // first byte, second halfword and byte 3 of a word
  };
  const Build builds[] = {
      {SIM_CPU_LITTLE_ENDIAN_BIN, RamBus::Endian::kLittle, {0x44, 0x1122, 0xAB000000u}},
      {SIM_CPU_BIG_ENDIAN_BIN, RamBus::Endian::kBig, {0x11, 0x3344, 0xABu}},
  };
  std::vector<uint32_t> host(16);
  host.resize(run_portable_workload(host.data()) - 3);  // the host's own probes are dropped
  for (const Build& build : builds) {
    ProgramRun program(build.endian);
    ASSERT_EQ(program.Run(build.image), "") << build.image;
    std::vector<uint32_t> expected = host;
    expected.insert(expected.end(), build.probes.begin(), build.probes.end());
    EXPECT_EQ(program.Results(), expected) << build.image;
  }
}

}  // namespace
}  // namespace vsim
