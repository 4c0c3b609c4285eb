// The board's timer interrupt as the core takes it: through the IRQ or FIQ vector with
// the return address a handler expects, masked by the CPSR's I or F bit and by the
// debugger's INTDIS, and held until the handler acknowledges it.
#include <gtest/gtest.h>

#include "board/board.h"

namespace vsim::test {
namespace {

constexpr uint32_t kLoop = 0x100;  // B . (the program waits for interrupts)
constexpr uint32_t kHandler = 0x200;
constexpr uint32_t kModeSvc = 0x13;
constexpr uint32_t kIrqMasked = 0x80;
constexpr uint32_t kFiqMasked = 0x40;
constexpr uint32_t kIntdis = 0x4;

// The vectors branch to one handler: STR r0, [r1] (acknowledge); ADD r2, r2, #1;
// SUBS pc, lr, #4. r0-r2 are not banked, so it serves IRQ and FIQ alike.
void LoadProgram(Board& board) {
  board.WriteWord(0x18, 0xEA000078);  // IRQ: B 0x200
  board.WriteWord(0x1C, 0xEA000077);  // FIQ: B 0x200
  board.WriteWord(kLoop, 0xEAFFFFFE);
  board.WriteWord(kHandler, 0xE5810000);
  board.WriteWord(kHandler + 4, 0xE2822001);
  board.WriteWord(kHandler + 8, 0xE25EF004);
  board.SetReg(1, kTimerAcknowledgeAddress);
  board.SetReg(2, 0);
  board.SetReg(15, kLoop);
}

TEST(BoardInterrupt, TakenThroughItsVectorUnlessMasked) {
  const struct {
    InterruptLine line;
    uint32_t cpsrMasks;
    uint32_t debugControl;
    bool taken;
  } cases[] = {
      {InterruptLine::kIrq, 0, 0, true},
      {InterruptLine::kIrq, kFiqMasked, 0, true},
      {InterruptLine::kIrq, kIrqMasked, 0, false},
      {InterruptLine::kIrq, 0, kIntdis, false},
      {InterruptLine::kFiq, kIrqMasked, 0, true},
      {InterruptLine::kFiq, kFiqMasked, 0, false},
      {InterruptLine::kFiq, 0, kIntdis, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "fiq " << (c.line == InterruptLine::kFiq) << " cpsr masks 0x" << std::hex
                                    << c.cpsrMasks << " debug control 0x" << c.debugControl);
    BoardConfig config;
    config.freeRunInstructionsPerMs = 0;
    config.timer = {50, c.line};
    Board board(config);
    LoadProgram(board);
    board.SetCpsr(kModeSvc | c.cpsrMasks);
    board.SetIceRegister(0, c.debugControl);
    board.RunInstructions(1000);
    // Each round: 50 instructions in the loop, then the vector's branch and the handler.
    if (c.taken) {
      EXPECT_GE(board.Reg(2), 15u);
      EXPECT_EQ(board.Cpsr() & 0x1F, kModeSvc) << "each handler returned";
    } else {
      EXPECT_EQ(board.Reg(2), 0u);
    }
  }
}

TEST(BoardInterrupt, HeldUntilAcknowledged) {
  BoardConfig config;
  config.freeRunInstructionsPerMs = 0;
  config.timer = {50, InterruptLine::kIrq};
  Board board(config);
  LoadProgram(board);
  board.WriteWord(kHandler, 0xE1A00000);  // NOP where the acknowledge was
  board.SetCpsr(kModeSvc);
  board.RunInstructions(200);
  // Unacknowledged, the line is still up as each handler returns: it is taken again at once.
  EXPECT_GE(board.Reg(2), 30u);
}

TEST(BoardInterrupt, WithoutATimerNothingInterrupts) {
  BoardConfig config;
  config.freeRunInstructionsPerMs = 0;
  Board board(config);
  LoadProgram(board);
  board.SetCpsr(kModeSvc);
  board.RunInstructions(1000);
  EXPECT_EQ(board.Reg(2), 0u);
}

}  // namespace
}  // namespace vsim::test
