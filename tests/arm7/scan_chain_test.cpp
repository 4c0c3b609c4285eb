// Scan-chain selection, the chain-1 exchange with its bit order, and the EmbeddedICE
// register access on chain 2, checked at the level of the scans they make.
#include "arm7/scan_chain.h"

#include <functional>

#include "arm7/embedded_ice.h"
#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "arm7_fixture.h"
#include "cable/tap.h"

namespace vantrel::test {
namespace {

using namespace vantrel::arm7;

TEST(ReverseBits, ReversesTheFirstNBitsAcrossWordBoundaries) {
  struct Case {
    int bits;
    std::vector<uint32_t> in;
    std::vector<uint32_t> out;
  };
  const Case cases[] = {
      {33, {0x00000001, 0x00000000}, {0x00000000, 0x00000001}},
      {33, {0x00000000, 0x00000001}, {0x00000001, 0x00000000}},
      {33, {0xE1A00000, 0x00000001}, {0x00000B0F, 0x00000000}},
      {33, {0x00000000, 0xFFFFFFFE}, {0x00000000, 0x00000000}},  // bits above N are not data
      {32, {0x00000001}, {0x80000000}},
      {64, {0x00000001, 0x80000000}, {0x00000001, 0x80000000}},
      {1, {0x00000001}, {0x00000001}},
      {0, {0x12345678}, {0x12345678}},  // nothing to reverse
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> words = c.in;
    ReverseBits(c.bits, words.data());
    EXPECT_EQ(words, c.out) << c.bits << " bits from " << std::hex << c.in[0];
  }
}

class ScanChainTest : public Arm7Test {};

TEST_F(ScanChainTest, SelectingAChainIsScanNThenTheFourBitNumber) {
  SelectScanChain(core_, 2);
  const std::vector<TapOp> ops = DecodeTap(port_);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].kind, TapOp::Kind::kIrScan);
  EXPECT_EQ(ops[0].TdiValue(), 0x2u);
  EXPECT_EQ(ops[1].kind, TapOp::Kind::kDrScan);
  EXPECT_EQ(ops[1].length, 4);
  EXPECT_EQ(ops[1].TdiValue(), 2u);
  EXPECT_EQ(Ops(), OpList().Chain(2).Text());  // neither scan passes Run-Test/Idle
}

TEST_F(ScanChainTest, NoScanWithoutACable) {
  ForgetCable();
  SelectScanChain(core_, 1);
  SelectDataBusChain(core_);
  EXPECT_EQ(PortAccesses(), 0);
}

TEST_F(ScanChainTest, Chain1ShiftsBreakptFirstThenD31DownToD0) {
  SelectDataBusChain(core_);
  port_.ClearLog();
  (void)Chain1Access(core_, 0xE1A00000, Speed::kSystem);  // MOV r0, r0 with BREAKPT
  const std::vector<TapOp> ops = DecodeTap(port_);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].length, 33);
  EXPECT_TRUE(ops[0].tdi[0]);
  for (int bit = 31; bit >= 0; --bit) {
    EXPECT_EQ(ops[0].tdi[static_cast<std::size_t>(32 - bit)], ((0xE1A00000u >> bit) & 1u) != 0) << "D" << bit;
  }
  EXPECT_TRUE(ops[0].toIdle);  // the halted core takes its debug clock
}

TEST_F(ScanChainTest, Chain1CaptureComesBackInDataBusOrder) {
  SelectDataBusChain(core_);
  const uint32_t words[] = {0x80000000, 0x00000001, 0x12345678};
  for (int k = 0; k < 3; ++k) target_.SetChain1Capture(k, words[k]);
  for (const uint32_t word : words) EXPECT_EQ(Chain1Access(core_, kNop), word);
}

TEST_F(ScanChainTest, IceWriteIsOne38BitScanWithAddressAndWriteBit) {
  SetICEReg(core_, 12, 0x1F7);
  const std::vector<TapOp> ops = DecodeTap(port_);
  ASSERT_FALSE(ops.empty());
  const TapOp& write = ops.back();
  EXPECT_EQ(write.length, 38);
  EXPECT_EQ(write.TdiValue(0, 32), 0x1F7u);
  EXPECT_EQ(write.TdiValue(32, 5), 12u);
  EXPECT_TRUE(write.tdi[37]);
  EXPECT_EQ(Ops(), OpList().IceWrite(12, 0x1F7).Text());
  EXPECT_EQ(target_.IceRegister(12), 0x1F7u);
}

TEST_F(ScanChainTest, IceReadIsAddressScanThenDataScanWithoutIdle) {
  target_.SetIceRegister(1, 0x19);
  EXPECT_EQ(GetICEReg(core_, 1), 0x19u);
  const std::vector<TapOp> ops = DecodeTap(port_);
  ASSERT_GE(ops.size(), 2u);
  EXPECT_EQ(ops[ops.size() - 2].length, 6);
  EXPECT_EQ(ops[ops.size() - 2].TdiValue(), 1u);  // address 1, read
  EXPECT_EQ(ops.back().length, 32);
  EXPECT_EQ(Ops(), OpList().IceRead(1).Text());
}

// The instruction scans a preamble made: 2 (SCAN_N and INTEST) when it was sent, 0 when
// the TAP held that chain with INTEST already.
TEST_F(ScanChainTest, AKeptSelectionSendsOnlyThePreamblesTheTapDoesNotHold) {
  struct Step {
    const char* what;
    void (*before)(arm7::Arm7State& core);
    void (*select)(arm7::Arm7State& core);
    int instructionScans;
  };
  const Step steps[] = {
      {"first chain 1", [](arm7::Arm7State&) {}, &SelectDataBusChain, 2},
      {"chain 1 again", [](arm7::Arm7State&) {}, &SelectDataBusChain, 0},
      {"chain 2", [](arm7::Arm7State&) {}, &SelectIceChain, 2},
      {"chain 2 after an ICE read", [](arm7::Arm7State& core) { (void)GetICEReg(core, kIceDebugStatus); },
       &SelectIceChain, 0},
      {"chain 2 after RESTART", [](arm7::Arm7State& core) { ScanInstruction(core, kIrRestart, cable::ScanEnd::kIdle); },
       &SelectIceChain, 2},
      {"chain 2 after a TAP reset", [](arm7::Arm7State& core) { cable::TapReset(core.cables.ParallelPort().State(), cable::TapResetEnd::kRunTestIdle); },
       &SelectIceChain, 2},
  };
  const KeptChainSelection kept(core_);
  for (const Step& step : steps) {
    step.before(core_);
    port_.ClearLog();
    step.select(core_);
    int irScans = 0;
    for (const TapOp& op : DecodeTap(port_)) irScans += op.kind == TapOp::Kind::kIrScan ? 1 : 0;
    EXPECT_EQ(irScans, step.instructionScans) << step.what;
  }
}

TEST_F(ScanChainTest, WithoutAKeptSelectionEveryPreambleIsSent) {
  SelectDataBusChain(core_);
  const auto once = port_.Log().size();
  SelectDataBusChain(core_);
  EXPECT_EQ(port_.Log().size(), 2 * once);
}

TEST_F(ScanChainTest, IceReadRefusedInTestLogicReset) {
  cable::TapReset(session_.Port(), cable::TapResetEnd::kTestLogicReset);
  port_.ClearLog();
  EXPECT_EQ(GetICEReg(core_, 1), 0xFFFFFFFFu);
  EXPECT_EQ(PortAccesses(), 0);
  EXPECT_EQ(TraceCount("GetICEReg cannot run at test-logic reset status\r\n"), 1);
}

}  // namespace
}  // namespace vantrel::test
