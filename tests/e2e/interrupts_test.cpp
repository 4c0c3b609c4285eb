// The board's timer interrupt around the library's runs: a plain run lets the handler
// run, a masked run (a host's step) keeps the interrupt out until the core halts, at the
// same cost in port accesses.
#include "fixture/board_fixture.h"

namespace vantrel::e2e {
namespace {

constexpr uint32_t kLoop = 0x100;  // B .
constexpr uint32_t kHandler = 0x200;
constexpr uint32_t kTimerPeriod = 50;

class InterruptTest : public BoardTest {
 protected:
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    config.timer = {kTimerPeriod, vsim::InterruptLine::kIrq};
    return config;
  }

  // The IRQ vector branches to a handler that acknowledges, counts in r2 and returns;
  // the program waits in a loop with IRQ enabled.
  void SetUp() override {
    BoardTest::SetUp();
    OpenAndConnect();
    LoadWords(0x18, {0xEA000078});                          // B 0x200
    LoadWords(kLoop, {0xEAFFFFFE});                         // B .
    LoadWords(kHandler, {0xE5810000, 0xE2822001, 0xE25EF004});  // STR r0,[r1]; ADD r2,#1; SUBS pc,lr,#4
    for (const auto& [name, value] : {std::pair{"r1", vsim::kTimerAcknowledgeAddress}, std::pair{"r2", 0u},
                                      std::pair{"cpsr", 0x13u}, std::pair{"pc", kLoop}}) {
      ASSERT_EQ(WriteRegister(name, value).status, VANTREL_STATUS_OK) << name;
    }
  }

  uint64_t RunAndCountAccesses(int32_t code) {
    const uint64_t before = PortAccesses();
    EXPECT_EQ(Call(code).status, VANTREL_STATUS_OK);
    return PortAccesses() - before;
  }

  uint32_t HandlerRuns() {
    EXPECT_EQ(Stop().status, VANTREL_STATUS_OK);
    return board().Reg(2);
  }
};

TEST_F(InterruptTest, AMaskedRunKeepsTheHandlerOutAndAPlainRunLetsItRun) {
  const uint64_t masked = RunAndCountAccesses(VANTREL_CMD_RUN_MASKED);
  RunBoard(20 * kTimerPeriod);
  EXPECT_EQ(board().IceRegister(0) & 0x4, 0x4u) << "INTDIS stays set while the core runs";
  EXPECT_EQ(HandlerRuns(), 0u);

  const uint64_t plain = RunAndCountAccesses(VANTREL_CMD_RUN);
  RunBoard(20 * kTimerPeriod);
  EXPECT_EQ(board().IceRegister(0) & 0x4, 0u);
  EXPECT_GE(HandlerRuns(), 10u);
  EXPECT_EQ(masked, plain) << "the masked run writes the debug control as the plain one does";
}

TEST_F(InterruptTest, AMaskedRunIsRefusedUnlessHalted) {
  ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
  EXPECT_EQ(Call(VANTREL_CMD_RUN_MASKED).status, VANTREL_STATUS_FAILED);
}

}  // namespace
}  // namespace vantrel::e2e
