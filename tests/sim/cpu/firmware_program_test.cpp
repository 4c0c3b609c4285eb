// Real programs built by the ARM cross compiler (ARM and Thumb halves calling each
// other, libgcc helpers, SWI and undefined-instruction handlers) run on the simulated
// core, and their results must equal the same C code compiled for the host.
#include <cstdint>
#include <fstream>
#include <iterator>
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

// Runs until the program branches to itself; false if the step budget runs out.
bool RunToEndLoop(ArmCpu& cpu, Bus& bus, uint64_t& steps) {
  for (steps = 0; steps < kStepLimit; ++steps) {
    const uint32_t pc = cpu.NextPc();
    const ExecResult result = cpu.Step(bus);
    if (result.pcWritten && cpu.NextPc() == pc) return true;
  }
  return false;
}

uint32_t Word(const RamBus& bus, uint32_t address) {
  uint32_t value = 0;
  EXPECT_TRUE(bus.Peek(address, 4, value)) << std::hex << address;
  return value;
}

std::vector<uint32_t> HostResults() {
  std::vector<uint32_t> expected(kWorkloadMaxWords);
  expected.resize(run_workload(expected.data()));
  expected.push_back(swi_service(0x21, 7, 9));
  expected.push_back(swi_service(0x42, 1234, 5678) + 1);  // +1: the handler saw Thumb state
  expected.push_back(0xE7F000F0u);  // the undefined ARM word, as the handler read it
  expected.push_back(0xDE00u);      // the undefined Thumb halfword
  return expected;
}

TEST(SimCpuFirmware, ArmAndThumbWorkloadMatchesTheHost) {
  const std::vector<uint8_t> image = ReadFile(SIM_CPU_WORKLOAD_BIN);
  ASSERT_FALSE(image.empty()) << SIM_CPU_WORKLOAD_BIN;
  RamBus bus(0, kRamSize);
  ASSERT_TRUE(bus.LoadImage(0, image));
  ArmCpu cpu;
  uint64_t steps = 0;
  ASSERT_TRUE(RunToEndLoop(cpu, bus, steps)) << "no end loop within " << kStepLimit << " steps";
  ASSERT_EQ(Word(bus, kMailbox), kDone) << std::hex << "stopped at pc " << cpu.NextPc();

  const uint32_t resultsAddress = Word(bus, kMailbox + 8);
  const uint32_t count = Word(bus, kMailbox + 12);
  std::vector<uint32_t> actual;
  for (uint32_t i = 0; i < count; ++i) actual.push_back(Word(bus, resultsAddress + 4 * i));
  EXPECT_EQ(actual, HostResults());
  EXPECT_EQ(Word(bus, kMailbox + 4), count);  // main's return value came back through the startup

  // The program ends in User mode; every mode's stack pointer is where the startup put it.
  EXPECT_EQ(cpu.CurrentMode(), Mode::kUser);
  EXPECT_EQ(cpu.BankedReg(Mode::kSupervisor, 13), kRamSize);
  EXPECT_EQ(cpu.BankedReg(Mode::kIrq, 13), kRamSize - 0x400);
  EXPECT_EQ(cpu.BankedReg(Mode::kFiq, 13), kRamSize - 0x800);
  EXPECT_EQ(cpu.BankedReg(Mode::kAbort, 13), kRamSize - 0xC00);
  EXPECT_EQ(cpu.BankedReg(Mode::kUndefined, 13), kRamSize - 0x1000);
}

}  // namespace
}  // namespace vsim
