// Golden words for the instruction encoders and tables, with the assembly beside them.
#include "arm7/instructions.h"

#include <gtest/gtest.h>

namespace vantrel::arm7 {
namespace {

TEST(InstructionWords, RegisterTablesHoldTheTransferOfEachRegister) {
  EXPECT_EQ(kRegisterReadInstructions[0], 0xE8000001u);    // STMDA r0, {r0}
  EXPECT_EQ(kRegisterReadInstructions[5], 0xE8000020u);    // STMDA r0, {r5}
  EXPECT_EQ(kRegisterReadInstructions[15], 0xE8008000u);   // STMDA r0, {r15}
  EXPECT_EQ(kRegisterReadInstructions[16], 0xE10F0000u);   // MRS r0, CPSR
  EXPECT_EQ(kRegisterReadInstructions[17], 0xE14F0000u);   // MRS r0, SPSR
  EXPECT_EQ(kRegisterWriteInstructions[0], 0xE8900001u);   // LDMIA r0, {r0}
  EXPECT_EQ(kRegisterWriteInstructions[14], 0xE8904000u);  // LDMIA r0, {r14}
  EXPECT_EQ(kRegisterWriteInstructions[15], 0xE8908000u);  // LDMIA r0, {r15}
  EXPECT_EQ(kRegisterWriteInstructions[16], 0xE12FF000u);  // MSR CPSR_fsxc, r0
  EXPECT_EQ(kRegisterWriteInstructions[17], 0xE16FF000u);  // MSR SPSR_fsxc, r0
}

TEST(InstructionWords, PcAdjustmentsInUse) {
  struct Case {
    int amount;
    uint32_t word;
  };
  const Case cases[] = {
      {-12, 0xE24FF00C},  // SUB pc, pc, #12
      {-16, 0xE24FF010}, {-20, 0xE24FF014}, {-24, 0xE24FF018},  {-32, 0xE24FF020},
      {-40, 0xE24FF028}, {-56, 0xE24FF038}, {-255, 0xE24FF0FF},  // the largest unrotated immediate
      {4, 0xE28FF004},                                           // ADD pc, pc, #4
      {255, 0xE28FF0FF},
  };
  for (const Case& c : cases) EXPECT_EQ(AdjustPcWord(c.amount), c.word) << c.amount;
}

TEST(InstructionWords, LowRegisterTransfers) {
  EXPECT_EQ(LdmiaR0LowRegisters(1), 0xE8900002u);   // LDMIA r0, {r1}
  EXPECT_EQ(StmiaR0LowRegisters(1), 0xE8800002u);   // STMIA r0, {r1}
  EXPECT_EQ(LdmiaR0LowRegisters(8), 0xE89001FEu);   // LDMIA r0, {r1-r8}
  EXPECT_EQ(LdmiaR0LowRegisters(14), 0xE8907FFEu);  // LDMIA r0, {r1-r14}
  EXPECT_EQ(StmiaR0LowRegisters(14), 0xE8807FFEu);  // STMIA r0, {r1-r14}
}

TEST(InstructionWords, ReverseBytesSwapsMemoryOrder) {
  EXPECT_EQ(ReverseBytes(0xA1B2C3D4), 0xD4C3B2A1u);
  EXPECT_EQ(ReverseBytes(ReverseBytes(0x12345678)), 0x12345678u);
}

}  // namespace
}  // namespace vantrel::arm7
