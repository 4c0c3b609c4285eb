// The step's next-address decoder against the simulated CPU: random ARM and Thumb
// instructions, biased toward those that write the PC, executed one at a time from
// random register and flag values; the decoder must name the address the CPU went to.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "arm_next_address.h"
#include "cpu/arm_cpu.h"
#include "cpu/ram_bus.h"

namespace vantrel::gdb {
namespace {

constexpr uint32_t kMemorySize = 0x100000;
constexpr uint32_t kSupervisor = 0x13;
constexpr uint32_t kThumbBit = 0x20;
constexpr int kCasesPerKind = 40000;
constexpr uint32_t kUndefinedVector = 0x04;

// The 32-bit Mersenne twister's own draws (the same sequence), typed as the words they are.
using Random = std::independent_bits_engine<std::mt19937, 32, uint32_t>;

// ARM instructions as they are drawn: fully random words, and templates that write r15.
uint32_t DrawArm(Random& random) {
  const uint32_t word = random();
  switch (random() % 8) {
    case 0: return word;
    case 1: return (word & 0xFFFF0FFFu & ~0x0C000000u) | 0x0000F000u;                // data processing to pc
    case 2: return (word & 0xF000000Fu) | 0x012FFF10u;                               // BX
    case 3: return (word & 0xFF7FF000u & ~0x02000000u) | 0x0410F000u;                // LDR pc, [Rn, #imm]
    case 4: return (word & 0xF1FFFFFFu & ~0x0E000000u) | 0x08108000u;                // LDM with pc
    case 5: return (word & 0xF1FFFFFFu) | 0x0A000000u;                               // B, BL
    case 6: return (word & 0xF1FFFFFFu & ~0x0E000000u) | 0x0E000000u | 0x01000000u;  // SWI
    default: return (word & 0xFFF0FFF0u) | 0x01A0F000u | (random() % 15);            // MOV pc, Rm
  }
}

uint16_t DrawThumb(Random& random) {
  const auto half = static_cast<uint16_t>(random());
  switch (random() % 7) {
    case 0: return half;
    case 1: return static_cast<uint16_t>(0xD000u | (half & 0x0FFFu));  // conditional branch, SWI
    case 2: return static_cast<uint16_t>(0xE000u | (half & 0x07FFu));  // B
    case 3: return static_cast<uint16_t>(0x4700u | (half & 0x0078u));  // BX
    case 4: return static_cast<uint16_t>(0xBD00u | (half & 0x00FFu));  // POP with pc
    case 5: return static_cast<uint16_t>((half & 0x0100u ? 0x4600u : 0x4400u) | 0x87u | (half & 0x78u));  // MOV/ADD pc
    default: return static_cast<uint16_t>(0xF000u | (half & 0x0FFFu));                                    // BL halves
  }
}

// Encodings the architecture leaves unpredictable with r15 as an operand: the
// multiplies, swaps, halfword loads and status reads writing it, and a data-processing
// shift by register naming it. The decoder lets the first ones fall through.
bool ArmPcDestinationUnpredictable(uint32_t i) {
  const uint32_t rn = (i >> 16) & 0xF, rd = (i >> 12) & 0xF;
  if ((i & 0x0E000090u) == 0x00000090u) return rn == 15 || rd == 15;
  if ((i & 0x0E000090u) == 0x00000010u) return rd == 15 || rn == 15 || ((i >> 8) & 0xF) == 15 || (i & 0xF) == 15;
  return (i & 0x0FB000F0u) == 0x01000000u && rd == 15;  // MRS
}

struct Outcome {
  uint32_t address;
  bool thumb;
  // The CPU took no abort, nor the undefined-instruction trap of an encoding the decoder
  // does not list (it knows the common ones; compilers emit none of them).
  bool usable;
};

class NextAddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint8_t> bytes(kMemorySize);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(random_());
    ASSERT_TRUE(bus_.LoadImage(0, bytes));
  }

  // Random registers inside memory (a few near its end, for loads that abort) and
  // random flags; interrupts masked.
  void RandomState(bool thumb) {
    cpu_.Reset();
    const uint32_t spsrThumb = random_() % 2 != 0 ? kThumbBit : 0;
    cpu_.SetSpsr(vsim::Mode::kSupervisor, (random_() & 0xF0000000u) | 0xC0u | spsrThumb | kSupervisor);
    cpu_.SetCpsr((random_() & 0xF0000000u) | 0xC0u | (thumb ? kThumbBit : 0) | kSupervisor);
    for (int i = 0; i < 15; ++i) cpu_.SetReg(i, random_() % kMemorySize);
    const uint32_t pc = 0x1000 + (random_() % (kMemorySize - 0x2000));
    cpu_.SetNextPc(thumb ? pc & ~1u : pc & ~3u);
  }

  CoreSnapshot Snapshot() const {
    CoreSnapshot core;
    for (int i = 0; i < 15; ++i) core.r[static_cast<size_t>(i)] = cpu_.Reg(i);
    core.r[15] = cpu_.NextPc();
    core.cpsr = cpu_.Cpsr();
    core.spsr = cpu_.Spsr(vsim::Mode::kSupervisor);
    return core;
  }

  std::optional<NextAddress> Predict() const {
    return NextInstructionAddress(Snapshot(), [this](uint32_t address) -> std::optional<uint32_t> {
      uint32_t word = 0;
      if (!bus_.Peek(address, 4, word)) return std::nullopt;
      return word;
    });
  }

  Outcome Execute() {
    const vsim::ExecResult result = cpu_.Step(bus_);
    const bool undefined = result.exception && cpu_.NextPc() == kUndefinedVector;
    return {cpu_.NextPc(), cpu_.Thumb(), !result.dataAbort && !undefined};
  }

  void Check(bool thumb, uint32_t instruction) {
    if (!thumb && ArmPcDestinationUnpredictable(instruction)) return;
    RandomState(thumb);
    const uint32_t pc = cpu_.NextPc();
    ASSERT_TRUE(bus_.Poke(pc, thumb ? 2 : 4, instruction));
    if (thumb) {
      ASSERT_TRUE(bus_.Poke(pc + 2, 2, 0xF800u | (random_() & 0x7FFu)));
    }
    const CoreSnapshot before = Snapshot();
    const auto predicted = Predict();
    const Outcome actual = Execute();
    if (!actual.usable) return;
    char what[96];
    std::snprintf(what, sizeof what, "%s 0x%08x at 0x%08x, cpsr 0x%08x", thumb ? "Thumb" : "ARM", instruction, pc,
                  before.cpsr);
    ASSERT_TRUE(predicted.has_value()) << what;
    // The fetch address: a PC written with low bits set fetches from the aligned one.
    EXPECT_EQ(predicted->address, actual.address & (actual.thumb ? ~1u : ~3u)) << what;
    EXPECT_EQ(predicted->thumb, actual.thumb) << what;
  }

  Random random_{20261210};
  vsim::RamBus bus_{0, kMemorySize};
  vsim::ArmCpu cpu_;
};

TEST_F(NextAddressTest, RandomArmInstructions) {
  for (int i = 0; i < kCasesPerKind && !HasFailure(); ++i) Check(false, DrawArm(random_));
}

TEST_F(NextAddressTest, RandomThumbInstructions) {
  for (int i = 0; i < kCasesPerKind && !HasFailure(); ++i) Check(true, DrawThumb(random_));
}

TEST_F(NextAddressTest, UnreadableMemoryGivesNoAddress) {
  CoreSnapshot core;
  core.r[15] = 0x8000;
  const auto none = NextInstructionAddress(core, [](uint32_t) { return std::optional<uint32_t>(); });
  EXPECT_FALSE(none.has_value());
}

}  // namespace
}  // namespace vantrel::gdb
