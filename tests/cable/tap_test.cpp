// The TAP driver's port traffic, compared access by access with the cable's wiring:
// W = data-port write, R = status-port read.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cable_fixture.h"

namespace vantrel::test {
namespace {

using cable::ScanDR;
using cable::ScanIR;
using cable::ShiftBits;
using cable::TapClock;
using cable::TapReset;

constexpr uint8_t kTdoHigh = 0x00;  // status bit 7 reads inverted
constexpr uint8_t kTdoLow = 0x80;
constexpr uint32_t kSentinel = 0xDEADBEEF;

const std::string kResetCycle = "W0B R W0F W0B";
std::string Repeat(const std::string& item, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += (i == 0 ? "" : " ") + item;
  return out;
}
const std::string kTapResetTrace = Repeat(kResetCycle, 8);
const std::string kTapResetToIdleTrace = kTapResetTrace + " W09 R W0D W09";

// The bytes written with TCK high: what the TAP took in, one per cycle.
std::vector<uint8_t> RisingEdges(const RecordingPort& port) {
  std::vector<uint8_t> edges;
  for (const PortAccessRecord& r : port.AccessesTo(port.DataPort())) {
    if (r.write && (r.value & 0x04) != 0) edges.push_back(r.value);
  }
  return edges;
}

void QueueTdoBits(RecordingPort& port, uint64_t bits, int count) {
  for (int i = 0; i < count; ++i) port.QueueStatus(((bits >> i) & 1u) != 0 ? kTdoHigh : kTdoLow);
}

class TapTest : public CableFixture {
 protected:
  void SetUp() override {
    CableFixture::SetUp();
    SelectCable();
  }
};

struct TraceCase {
  const char* name;
  std::function<void(cable::PortCableState&)> operation;
  std::string trace;
  int tapActiveAfter;
};

void PrintTo(const TraceCase& c, std::ostream* os) { *os << c.name; }

class TapTraceTest : public TapTest, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(TapTraceTest, MakesExactlyTheseAccesses) {
  GetParam().operation(State());
  EXPECT_EQ(port_.Trace(), GetParam().trace);
  EXPECT_EQ(cable::TapActive(State()), GetParam().tapActiveAfter);
}

const std::string kScanIR4Bits0xC =
    "W03 R W07 W03 W03 R W07 W03 W01 R W05 W01 W01 R W05 W01 "  // to Shift-IR
    "W01 R W05 W01 R W05 W09 R W0D W0B R W0F W0B "              // 0xC, first bit first
    "W03 R W07 W03";                                            // to Update-IR

INSTANTIATE_TEST_SUITE_P(
    Operations, TapTraceTest,
    ::testing::Values(
        TraceCase{"ScanIR4BitsEndingInUpdateIR",
                  [](cable::PortCableState& state) { (void)ScanIR(state, 4, 0xC, cable::ScanEnd::kUpdate); },
                  kScanIR4Bits0xC, 0},
        TraceCase{"ScanIR4BitsEndingInIdle",
                  [](cable::PortCableState& state) { (void)ScanIR(state, 4, 0xC, cable::ScanEnd::kIdle); },
                  kScanIR4Bits0xC + " W01 R W05 W01", 0},
        TraceCase{"ScanDR2BitsEndingInIdle",
                  [](cable::PortCableState& state) {
                    const uint32_t bits = 0b10;
                    ScanDR(state, 2, &bits, nullptr, cable::ScanEnd::kIdle);
                  },
                  "W03 R W07 W03 W01 R W05 W01 W01 R W05 W01 "  // to Shift-DR
                  "W01 R W05 W0B R W0F W0B "                    // 0, then 1 with TMS
                  "W03 R W07 W03 W01 R W05 W01",                // Update-DR, Run-Test/Idle
                  0},
        TraceCase{"TapResetToTestLogicReset",
                  [](cable::PortCableState& state) { TapReset(state, cable::TapResetEnd::kTestLogicReset); },
                  kTapResetTrace, 0},
        TraceCase{"TapResetToIdle",
                  [](cable::PortCableState& state) { TapReset(state, cable::TapResetEnd::kRunTestIdle); },
                  kTapResetToIdleTrace, 1},
        TraceCase{"PulseCableReset", [](cable::PortCableState& state) { EXPECT_EQ(cable::PulseCableReset(state), 0); },
                  "W00 W01 " + kTapResetToIdleTrace, 1},
        // Under FastClocks: no status read where nobody keeps TDO, TCK lowered
        // by the next write, and low again at the end.
        TraceCase{"FastScanDRWithoutCapture",
                  [](cable::PortCableState& state) {
                    const cable::FastClocks fast(state);
                    const uint32_t bits = 0b10;
                    ScanDR(state, 2, &bits, nullptr, cable::ScanEnd::kIdle);
                  },
                  "W03 W07 W01 W05 W01 W05 W01 W05 W0B W0F W03 W07 W01 W05 W01", 0},
        TraceCase{"FastScanDRCapturingTheFirstBit",
                  [](cable::PortCableState& state) {
                    const cable::FastClocks fast(state);
                    const uint32_t bits = 0b10;
                    uint32_t captured = 0;
                    cable::ScanDRCapturingFirst(state, 2, &bits, &captured, 1, cable::ScanEnd::kUpdate);
                  },
                  "W03 W07 W01 W05 W01 W05 W01 R W05 W0B W0F W03 W07 W03", 0},
        TraceCase{"FastScanIRStillReadsEveryBit",
                  [](cable::PortCableState& state) {
                    const cable::FastClocks fast(state);
                    (void)ScanIR(state, 4, 0xC, cable::ScanEnd::kUpdate);
                  },
                  "W03 W07 W03 W07 W01 W05 W01 W05 W01 R W05 W01 R W05 W09 R W0D W0B R W0F W03 W07 W03", 0}),
    [](const ::testing::TestParamInfo<TraceCase>& param) { return std::string(param.param.name); });

TEST_F(TapTest, TdoIsStatusBit7Inverted) {
  struct Case {
    uint8_t status;
    int tdo;
  };
  for (const Case c : {Case{0x7F, 1}, Case{0x80, 0}, Case{0x00, 1}, Case{0xFF, 0}}) {
    port_.QueueStatus(c.status);
    EXPECT_EQ(TapClock(State(), 0, 0, cable::TckEnd::kLowered), c.tdo) << "status " << int{c.status};
  }
}

TEST_F(TapTest, ThirtyThreeBitShiftUsesBitZeroOfTheSecondWord) {
  const std::array<uint32_t, 2> in{0x80000001u, 0xFFFFFFFEu};
  std::array<uint32_t, 2> out{kSentinel, kSentinel};
  QueueTdoBits(port_, 0x1'0000'8001ull, 33);

  ShiftBits(State(), 33, in.data(), out.data());

  EXPECT_EQ(port_.Log().size(), 32u * 3 + 4);
  const std::vector<uint8_t> edges = RisingEdges(port_);
  ASSERT_EQ(edges.size(), 33u);
  for (std::size_t i = 0; i < edges.size(); ++i) {
    const bool tdi = i == 0 || i == 31;
    const bool tms = i == 32;
    EXPECT_EQ(edges[i], 0x05 | (tdi ? 0x08 : 0) | (tms ? 0x02 : 0)) << "bit " << i;
  }
  EXPECT_EQ(out[0], 0x00008001u);
  EXPECT_EQ(out[1], 0x00000001u);  // captured bit 32, zeros above
}

TEST_F(TapTest, ThirtyTwoBitShiftTakesAndStoresOneWord) {
  const std::array<uint32_t, 1> in{0xA5A5A5A5u};
  std::array<uint32_t, 2> out{kSentinel, kSentinel};
  QueueTdoBits(port_, 0xC3C3C3C3u, 32);

  ShiftBits(State(), 32, in.data(), out.data());

  const std::vector<uint8_t> edges = RisingEdges(port_);
  ASSERT_EQ(edges.size(), 32u);
  for (std::size_t i = 0; i < edges.size(); ++i) {
    EXPECT_EQ((edges[i] & 0x08) != 0, ((in[0] >> i) & 1u) != 0) << "bit " << i;
    EXPECT_EQ((edges[i] & 0x02) != 0, i == 31) << "bit " << i;
  }
  EXPECT_EQ(out[0], 0xC3C3C3C3u);
  EXPECT_EQ(out[1], kSentinel);
}

TEST_F(TapTest, IdcodeReadShiftsZerosAndDiscardsTheWalkSamples) {
  QueueTdoBits(port_, 0b111, 3);  // Select-DR, Capture-DR, Shift-DR: not part of the value
  QueueTdoBits(port_, 0x3F0F0F0Fu, 32);
  port_.SetDefaultStatus(kTdoHigh);
  uint32_t id = kSentinel;

  ScanDR(State(), 32, nullptr, &id, cable::ScanEnd::kUpdate);

  EXPECT_EQ(id, 0x3F0F0F0Fu);
  EXPECT_EQ(port_.Log().size(), 113u);
  for (const uint8_t edge : RisingEdges(port_)) EXPECT_EQ(edge & 0x08, 0);
  EXPECT_EQ(port_.LastDataWrite(), 0x03);  // Update-DR, TCK low
}

TEST_F(TapTest, InstructionScanReturnsTheCapturedBits) {
  QueueTdoBits(port_, 0b1111, 4);  // the walk to Shift-IR
  QueueTdoBits(port_, 0b0001, 4);
  EXPECT_EQ(ScanIR(State(), 4, 0xC, cable::ScanEnd::kUpdate), 0x1u);
}

TEST_F(TapTest, WithoutOutputWordsTdoIsStillSampledOnEveryBit) {
  const uint32_t in = 0xFF;
  ScanDR(State(), 8, &in, nullptr, cable::ScanEnd::kUpdate);
  EXPECT_EQ(port_.AccessesTo(port_.StatusPort()).size(), 3u + 8 + 1);
}

TEST_F(TapTest, AccessCountsAcrossWordBoundaries) {
  struct Case {
    const char* what;
    std::function<void()> operation;
    std::size_t accesses;
  };
  const std::array<uint32_t, 3> in{};
  std::array<uint32_t, 3> out{};
  const Case cases[] = {
      {"ScanDR 33 to idle (chain 1 exchange)",
       [&] { ScanDR(State(), 33, in.data(), out.data(), cable::ScanEnd::kIdle); }, 120},
      {"ScanDR 38 (ICE register write)", [&] { ScanDR(State(), 38, in.data(), out.data(), cable::ScanEnd::kUpdate); },
       131},
      {"ScanDR 64", [&] { ScanDR(State(), 64, in.data(), out.data(), cable::ScanEnd::kUpdate); }, 209},
      {"ScanDR 65 to idle", [&] { ScanDR(State(), 65, in.data(), out.data(), cable::ScanEnd::kIdle); }, 216},
      {"ScanIR 1 to idle", [&] { (void)ScanIR(State(), 1, 1, cable::ScanEnd::kIdle); }, 28},
      {"ScanIR 32", [&] { (void)ScanIR(State(), 32, 0xFFFFFFFF, cable::ScanEnd::kUpdate); }, 117},
  };
  for (const Case& c : cases) {
    port_.ClearLog();
    c.operation();
    EXPECT_EQ(port_.Log().size(), c.accesses) << c.what;
  }
}

TEST_F(TapTest, OutOfRangeLengthsTouchNothing) {
  std::array<uint32_t, 2> out{kSentinel, kSentinel};
  EXPECT_EQ(ScanIR(State(), 0, 0xC, cable::ScanEnd::kUpdate), 0u);
  EXPECT_EQ(ScanIR(State(), 33, 0xC, cable::ScanEnd::kUpdate), 0u);
  ScanDR(State(), 0, nullptr, out.data(), cable::ScanEnd::kIdle);
  ScanDR(State(), -5, nullptr, out.data(), cable::ScanEnd::kIdle);
  ShiftBits(State(), 0, nullptr, out.data());
  EXPECT_EQ(port_.Trace(), "");
  EXPECT_EQ(out[0], kSentinel);
}

TEST_F(CableFixture, WithNoPortSelectedTheTapDriverTouchesNoPort) {
  port_.SetDefaultStatus(kTdoHigh);
  std::array<uint32_t, 2> out{kSentinel, kSentinel};

  EXPECT_EQ(ScanIR(State(), 4, 0xE, cable::ScanEnd::kUpdate), 0u);
  ScanDR(State(), 33, nullptr, out.data(), cable::ScanEnd::kIdle);
  TapReset(State(), cable::TapResetEnd::kRunTestIdle);
  EXPECT_EQ(cable::TapActive(State()), 1);
  TapReset(State(), cable::TapResetEnd::kTestLogicReset);
  EXPECT_EQ(cable::TapActive(State()), 0);
  EXPECT_EQ(cable::PulseCableReset(State()), kEmulatorNotFound);

  EXPECT_EQ(out[0], 0u);
  EXPECT_EQ(out[1], 0u);
  EXPECT_EQ(port_.Trace(), "");
}

}  // namespace
}  // namespace vantrel::test
