// The board as a PC sees it: the port registers, the faults, memory layout and byte
// order, and an access to an aborting region.
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <thread>

#include "board_jtag.h"

namespace vsim::test {
namespace {

BoardConfig Deterministic() {
  BoardConfig c;
  c.freeRunInstructionsPerMs = 0;
  return c;
}

uint32_t ReadIdcode(Board& board) {
  BoardJtag jtag(board);
  jtag.ResetToIdle();
  return static_cast<uint32_t>(jtag.ScanDR(32, 0));
}

TEST(BoardPort, DataReadsBackStatusShowsPowerAndOtherAddressesFloat) {
  Board board(Deterministic());
  board.PortWrite(0x378, 0x55);
  EXPECT_EQ(board.PortRead(0x378), 0x55);
  EXPECT_EQ(board.PortRead(0x379) & 0x60, 0x00) << "powered: both sense lines low";
  board.PortWrite(0x37A, 0x0B);
  EXPECT_EQ(board.PortRead(0x37A), 0x0B);
  for (const uint16_t port : std::initializer_list<uint16_t>{0x278, 0x279, 0x3BC, 0x377, 0x37B}) {
    board.PortWrite(port, 0x55);
    EXPECT_EQ(board.PortRead(port), 0xFF) << "port 0x" << std::hex << port;
  }
  EXPECT_EQ(board.Counters().portAccesses, 15u);
}

TEST(BoardPort, MovedBaseAndOwnIdcode) {
  BoardConfig c = Deterministic();
  c.portBase = 0x278;
  c.idcode = 0x1234AF0F;
  Board board(c);
  board.PortWrite(0x278, 0xAA);
  EXPECT_EQ(board.PortRead(0x278), 0xAA);
  EXPECT_EQ(board.PortRead(0x378), 0xFF);
  EXPECT_EQ(ReadIdcode(board), 0x1234AF0Fu);
}

TEST(BoardFaultsTest, EachFaultShowsWhereADriverLooks) {
  BoardConfig power = Deterministic();
  power.faults.powerBad = true;
  Board unpowered(power);
  EXPECT_EQ(unpowered.PortRead(0x379) & 0x60, 0x60);

  BoardConfig cable = Deterministic();
  cable.faults.noCable = true;
  Board noCable(cable);
  noCable.PortWrite(0x378, 0x55);
  EXPECT_NE(noCable.PortRead(0x378), 0x55);

  BoardConfig absent = Deterministic();
  absent.faults.targetAbsent = true;
  Board noTarget(absent);
  EXPECT_EQ(ReadIdcode(noTarget), 0xFFFFFFFFu);
}

TEST(BoardFaultsTest, CoreThatNeverHaltsIgnoresWatchpointsAndDbgrq) {
  BoardConfig c = Deterministic();
  c.faults.coreNeverHalts = true;
  Board board(c);
  BoardJtag jtag(board);
  jtag.ResetToIdle();
  jtag.IceWrite(9, 0xFFFFFFFF);
  jtag.IceWrite(11, 0xFFFFFFFF);
  jtag.IceWrite(13, 0xF6);
  jtag.IceWrite(12, 0x1F0);  // any fetch
  jtag.IceWrite(0, 0x2);     // and DBGRQ
  for (int i = 0; i < 5; ++i) EXPECT_EQ(jtag.IceRead(1) & 0x09u, 0u);
  EXPECT_FALSE(board.InDebugState());
  EXPECT_GT(board.Counters().instructions, 0u);
}

TEST(BoardMemory, DefaultLayoutRomAndUnmappedSpace) {
  Board board(Deterministic());
  board.WriteWord(0x3FFFC, 0x11223344);
  EXPECT_EQ(board.ReadWord(0x3FFFC), 0x11223344u);
  uint8_t probe[4] = {1, 2, 3, 4};
  EXPECT_FALSE(board.WriteMemory(0x40000, probe)) << "nothing mapped above the RAM";
  EXPECT_TRUE(board.WriteMemory(0x80000, probe)) << "the host fills the ROM";
  // The core's store to ROM is ignored; its load sees the old bytes.
  board.WriteWord(0x100, 0xE5801000);  // STR r1, [r0]
  board.WriteWord(0x104, 0xE5902000);  // LDR r2, [r0]
  board.SetReg(0, 0x80000);
  board.SetReg(1, 0xFFFFFFFF);
  board.SetReg(15, 0x100);
  board.RunInstructions(2);
  EXPECT_EQ(board.Reg(2), 0x04030201u);
}

TEST(BoardMemory, BigEndianWordsAndBytes) {
  BoardConfig c = Deterministic();
  c.endianness = Endianness::kBig;
  Board board(c);
  board.WriteWord(0x200, 0xA1B2C3D4);
  uint8_t bytes[4] = {};
  ASSERT_TRUE(board.ReadMemory(0x200, bytes));
  EXPECT_EQ(bytes[0], 0xA1);
  EXPECT_EQ(bytes[3], 0xD4);
  board.WriteWord(0x100, 0xE5D01000);  // LDRB r1, [r0]
  board.SetReg(0, 0x200);
  board.SetReg(15, 0x100);
  board.RunInstructions(1);
  EXPECT_EQ(board.Reg(1), 0xA1u);
}

TEST(BoardMemory, SystemSpeedLoadFromAnAbortingRegionEntersAbortModeAndReturns) {
  BoardConfig c = Deterministic();
  c.regions.push_back({0x100000, 0x1000, RegionKind::kAbort});
  Board board(c);
  BoardJtag jtag(board);
  for (uint32_t a = 0; a < 0x2000; a += 4) board.WriteWord(a, kNop);
  board.SetIceRegister(8, 0x1000);
  board.SetIceRegister(9, 3);
  board.SetIceRegister(11, 0xFFFFFFFF);
  board.SetIceRegister(13, 0xF7);
  board.SetIceRegister(12, 0x100);
  board.SetReg(15, 0xF00);
  board.RunInstructions(100);
  ASSERT_TRUE(board.InDebugState());
  jtag.ResetToIdle();
  jtag.SelectChain(1);
  jtag.Chain1(0xE59F0000), jtag.Chain1(kNop), jtag.Chain1(kNop), jtag.Chain1(0x100000), jtag.Chain1(kNop);
  jtag.Chain1(kNop), jtag.Chain1(kNop, true);
  jtag.Chain1(0xE8900002);  // LDMIA r0, {r1}
  jtag.Restart();
  EXPECT_TRUE(board.InDebugState());
  EXPECT_EQ(board.Cpsr() & 0x1Fu, 0x17u) << "abort mode";
}

TEST(BoardReset, HeldResetStopsTheCoreAndJtagKeepsWorking) {
  Board board(Deterministic());
  board.PortWrite(0x378, 0x00);
  ASSERT_TRUE(board.InReset());
  for (int i = 0; i < 6; ++i) {  // TCK with the reset line held: Test-Logic-Reset
    board.PortWrite(0x378, 0x02);
    board.PortWrite(0x378, 0x06);
  }
  EXPECT_EQ(board.CurrentTapState(), TapState::kTestLogicReset);
  EXPECT_TRUE(board.InReset());
  EXPECT_EQ(board.Counters().instructions, 0u);
}

// A running core: each rising TCK edge owes it four instructions, executed when an
// EmbeddedICE access could observe them rather than edge by edge.
TEST(BoardTime, TckEdgesOweInstructionsRunWhenObservable) {
  Board board(Deterministic());
  board.WriteWord(0x0, 0xE2800001);  // ADD r0, r0, #1
  board.WriteWord(0x4, 0xEAFFFFFD);  // B 0
  BoardJtag jtag(board);
  jtag.ResetToIdle();
  for (int i = 0; i < 100; ++i) jtag.Clock(false, false);
  EXPECT_EQ(board.Counters().instructions, 0u) << "nothing observed the core yet";
  jtag.IceRead(1);
  EXPECT_GE(board.Counters().instructions, 400u);
  EXPECT_LE(board.Counters().instructions, 4 * board.Counters().tckCycles);
}

TEST(BoardTime, ThroughPortIoTheCoreRunsWhileThePortIsQuiet) {
  Board board;  // free running on
  board.WriteWord(0x0, 0xE2800001);
  board.WriteWord(0x4, 0xEAFFFFFD);
  VantrelPortIo io = board.PortIo();
  ASSERT_EQ(io.acquire(io.context), 0);
  for (int i = 0; i < 64; ++i) io.read(io.context, 0x379);
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  for (int i = 0; i < 64; ++i) io.read(io.context, 0x379);
  io.write(io.context, 0x378, 0x01);
  io.write(io.context, 0x378, 0x05);  // one rising edge: the quiet spell is owed now
  EXPECT_GE(board.Counters().instructions, 1024u);
}

}  // namespace
}  // namespace vsim::test
