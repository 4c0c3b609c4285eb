// Random instruction streams run on the simulated CPU and on libunicorn's ARMv4T model
// side by side; registers, status registers and memory must agree after every step.
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cpu/arm_cpu.h"
#include "cpu/ram_bus.h"
#include "instruction_streams.h"
#include "unicorn_reference.h"

namespace vsim::testing {
namespace {

constexpr uint32_t kSeeds = 150;
constexpr int kStepLimit = 200;
// The reference shows CPSR bits 8 and 9, which the ARM7TDMI does not have; and the
// simulated CPU keeps only the implemented bits.
constexpr uint32_t kComparedPsrBits = 0xF00000FFu;

bool HasSpsr(uint32_t cpsr) {
  const uint32_t mode = cpsr & 0x1Fu;
  return mode != 0x10u && mode != 0x1Fu;
}

CoreState StateOf(const ArmCpu& cpu) {
  CoreState s;
  for (int i = 0; i < 16; ++i) s.r[i] = cpu.Reg(i);
  s.cpsr = cpu.Cpsr();
  s.spsr = cpu.Spsr(cpu.CurrentMode());
  return s;
}

std::string Differences(const CoreState& mine, const CoreState& ref) {
  std::ostringstream out;
  out << std::hex;
  for (int i = 0; i < 16; ++i) {
    if (mine.r[i] != ref.r[i]) out << " r" << std::dec << i << std::hex << ": " << mine.r[i] << " vs " << ref.r[i];
  }
  if ((mine.cpsr & kComparedPsrBits) != (ref.cpsr & kComparedPsrBits))
    out << " cpsr: " << mine.cpsr << " vs " << ref.cpsr;
  if (HasSpsr(ref.cpsr) && (mine.spsr & kComparedPsrBits) != (ref.spsr & kComparedPsrBits)) {
    out << " spsr: " << mine.spsr << " vs " << ref.spsr;
  }
  return out.str();
}

std::string FirstMemoryDifference(std::span<const uint8_t> mine, std::span<const uint8_t> ref) {
  for (size_t i = 0; i < mine.size(); ++i) {
    if (mine[i] != ref[i]) {
      std::ostringstream out;
      out << std::hex << "memory at " << (kDataBase + i) << ": " << int{mine[i]} << " vs " << int{ref[i]};
      return out.str();
    }
  }
  return {};
}

class Pair {
 public:
  explicit Pair(const Stream& stream) : ram_(kMemoryBase, kMemorySize), ref_(kMemoryBase, kMemorySize) {
    std::vector<uint8_t> memory(kMemorySize);
    std::mt19937 fill(stream.cpsr ^ stream.registers[0]);
    for (auto& b : memory) b = static_cast<uint8_t>(fill());
    std::copy(stream.code.begin(), stream.code.end(), memory.begin() + (kCodeBase - kMemoryBase));
    codeEnd_ = kCodeBase + static_cast<uint32_t>(stream.code.size());
    ok_ = ram_.LoadImage(kMemoryBase, memory) && ref_.WriteMemory(kMemoryBase, memory);

    cpu_.SetCpsr(stream.cpsr);
    cpu_.SetSpsr(cpu_.CurrentMode(), stream.spsr);
    for (int i = 0; i < 15; ++i) cpu_.SetReg(i, stream.registers[i]);
    cpu_.SetNextPc(kCodeBase);
    CoreState start = StateOf(cpu_);
    start.spsr = stream.spsr;
    ok_ = ok_ && ref_.SetState(start);
  }

  // Runs the stream to its end; returns the first disagreement, or "" when none.
  std::string Run() {
    if (!ok_) return "setup failed: " + ref_.error();
    for (int step = 0; step < kStepLimit && cpu_.NextPc() < codeEnd_; ++step) {
      const uint32_t pc = cpu_.NextPc();
      uint32_t word = 0;
      (void)ram_.Peek(pc, cpu_.Thumb() ? 2 : 4, word);
      const bool stores = ArmCpu::Shape(word, cpu_.Thumb()).stores > 0;
      StepMine(word);
      if (!ref_.Step()) return Where(step, pc, word) + ref_.error();
      std::string diff = CompareRegisters();
      if (diff.empty() && stores) diff = CompareMemory();
      if (!diff.empty()) return Where(step, pc, word) + diff;
    }
    return CompareMemory();
  }

 private:
  void StepMine(uint32_t word) {
    (void)cpu_.Step(ram_);
    const bool blPrefix = cpu_.Thumb() && (word & 0xF800u) == 0xF000u;
    if (blPrefix) (void)cpu_.Step(ram_);  // the reference runs the BL pair as one step
  }

  std::string CompareRegisters() { return Differences(StateOf(cpu_), ref_.State()); }

  // After every step that stores, and at the end.
  std::string CompareMemory() {
    std::vector<uint8_t> refData(kDataSize);
    if (!ref_.ReadMemory(kDataBase, refData)) return ref_.error();
    return FirstMemoryDifference(ram_.bytes().subspan(kDataBase - kMemoryBase, kDataSize), refData);
  }

  static std::string Where(int step, uint32_t pc, uint32_t word) {
    std::ostringstream out;
    out << "step " << step << std::hex << " pc " << pc << " word " << word << ":";
    return out.str();
  }

  ArmCpu cpu_;
  RamBus ram_;
  UnicornReference ref_;
  uint32_t codeEnd_ = 0;
  bool ok_ = false;
};

TEST(SimCpuDifferential, ArmStreamsMatchTheReference) {
  for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
    const std::string diff = Pair(MakeArmStream(seed)).Run();
    ASSERT_EQ(diff, "") << "ARM stream seed " << seed;
  }
}

TEST(SimCpuDifferential, ThumbStreamsMatchTheReference) {
  for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
    const std::string diff = Pair(MakeThumbStream(seed)).Run();
    ASSERT_EQ(diff, "") << "Thumb stream seed " << seed;
  }
}

}  // namespace
}  // namespace vsim::testing
