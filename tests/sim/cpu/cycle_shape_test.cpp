// The data cycles each word makes, which the debug-state board feeds and captures.
#include <cstdint>

#include <gtest/gtest.h>

#include "cpu/arm_cpu.h"

namespace vsim {
namespace {

struct ShapeCase {
  const char* assembly;
  uint32_t word;
  bool thumb;
  CycleShape shape;  // loads, stores, internal, writesPc, isLoadStore
};

class CycleShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(CycleShapes, MatchTheInstruction) {
  const ShapeCase& c = GetParam();
  const CycleShape s = ArmCpu::Shape(c.word, c.thumb);
  EXPECT_EQ(s.loads, c.shape.loads) << c.assembly;
  EXPECT_EQ(s.stores, c.shape.stores) << c.assembly;
  EXPECT_EQ(s.internal, c.shape.internal) << c.assembly;
  EXPECT_EQ(s.writesPc, c.shape.writesPc) << c.assembly;
  EXPECT_EQ(s.isLoadStore, c.shape.isLoadStore) << c.assembly;
}

INSTANTIATE_TEST_SUITE_P(
    SimCpu, CycleShapes,
    ::testing::Values(ShapeCase{"MOV r0, r0", 0xE1A00000, false, {0, 0, false, false, false}},
                      ShapeCase{"MOV pc, r0", 0xE1A0F000, false, {0, 0, false, true, false}},
                      ShapeCase{"CMP pc, r0 (no write)", 0xE15F0000, false, {0, 0, false, false, false}},
                      ShapeCase{"ADD r0, r1, r2, LSL r3", 0xE0810312, false, {0, 0, true, false, false}},
                      ShapeCase{"MRS r0, CPSR", 0xE10F0000, false, {0, 0, false, false, false}},
                      ShapeCase{"MSR CPSR_c, r0", 0xE121F000, false, {0, 0, false, false, false}},
                      ShapeCase{"MUL r0, r1, r2", 0xE0000291, false, {0, 0, true, false, false}},
                      ShapeCase{"LDR r0, [r1]", 0xE5910000, false, {1, 0, true, false, true}},
                      ShapeCase{"LDR pc, [r1]", 0xE591F000, false, {1, 0, true, true, true}},
                      ShapeCase{"STR r0, [r1]", 0xE5810000, false, {0, 1, false, false, true}},
                      ShapeCase{"LDRH r0, [r1]", 0xE1D100B0, false, {1, 0, true, false, true}},
                      ShapeCase{"STRH r0, [r1]", 0xE1C100B0, false, {0, 1, false, false, true}},
                      ShapeCase{"LDMIA r0, {r1-r3}", 0xE890000E, false, {3, 0, true, false, true}},
                      ShapeCase{"LDMIA r0, {r0-r15}", 0xE890FFFF, false, {16, 0, true, true, true}},
                      ShapeCase{"STMIA r0, {r0-r15}", 0xE880FFFF, false, {0, 16, false, false, true}},
                      ShapeCase{"STMDB r0, {} (moves r15)", 0xE9000000, false, {0, 1, false, false, true}},
                      ShapeCase{"SWP r0, r1, [r2]", 0xE1020091, false, {1, 1, true, false, true}},
                      ShapeCase{"B .", 0xEAFFFFFE, false, {0, 0, false, true, false}},
                      ShapeCase{"BX r0", 0xE12FFF10, false, {0, 0, false, true, false}},
                      ShapeCase{"SWI 0", 0xEF000000, false, {0, 0, false, true, false}},
                      ShapeCase{"Thumb PUSH {r0, r1, lr}", 0xB503, true, {0, 3, false, false, true}},
                      ShapeCase{"Thumb POP {r0, pc}", 0xBD01, true, {2, 0, true, true, true}},
                      ShapeCase{"Thumb LDR r0, [pc, #4]", 0x4801, true, {1, 0, true, false, true}},
                      ShapeCase{"Thumb STR r0, [r1, #4]", 0x6048, true, {0, 1, false, false, true}},
                      ShapeCase{"Thumb MOV pc, r0", 0x4687, true, {0, 0, false, true, false}},
                      ShapeCase{"Thumb BL prefix", 0xF000, true, {0, 0, false, false, false}},
                      ShapeCase{"Thumb BL suffix", 0xF800, true, {0, 0, false, true, false}},
                      ShapeCase{"Thumb B<cond>", 0xD0FE, true, {0, 0, false, true, false}},
                      ShapeCase{"Thumb high word is ignored", 0xFFFF0000, true, {0, 0, false, false, false}}));

TEST(SimCpuCurrentShape, AFailingConditionMakesNoDataCycles) {
  ArmCpu cpu;
  cpu.SetCpsr(0x400000D3);                              // Z set
  EXPECT_EQ(cpu.CurrentShape(0x0890000E).loads, 3);     // LDMEQIA r0, {r1-r3}
  EXPECT_EQ(cpu.CurrentShape(0x1890000E).loads, 0);     // LDMNEIA
  EXPECT_FALSE(cpu.CurrentShape(0x1AFFFFFE).writesPc);  // BNE .
  EXPECT_FALSE(cpu.CurrentShape(0xF890000E).internal);  // NV never executes
  cpu.SetCpsr(0x400000F3);                              // Thumb
  EXPECT_TRUE(cpu.CurrentShape(0xD0FE).writesPc);       // BEQ
  EXPECT_FALSE(cpu.CurrentShape(0xD1FE).writesPc);      // BNE
  EXPECT_EQ(cpu.CurrentShape(0xB503).stores, 3);        // PUSH {r0, r1, lr}: no condition
}

}  // namespace
}  // namespace vsim
