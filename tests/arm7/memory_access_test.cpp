// Memory blocks moved by injected load and store multiples: the sequences, the byte
// order, progress and stop requests, and the counts that are refused.
#include "arm7/memory_access.h"

#include <algorithm>
#include <array>

#include "arm7/instructions.h"
#include "arm7/link_check.h"
#include "arm7_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::arm7;

constexpr uint32_t kLdrR0PcWord = 0xE59F0000;  // LDR r0, [pc]
constexpr uint8_t kUntouched = 0xEE;

class MemoryAccessTest : public Arm7Test {
 protected:
  void SetUp() override {
    Arm7Test::SetUp();
    target_.SetIceRegister(1, 0x09);  // back in debug state after every system-speed access
  }
  int Count(const std::string& line) const {
    const std::string text = Ops();
    int count = 0;
    for (std::size_t at = text.find(line + "\n"); at != std::string::npos; at = text.find(line + "\n", at + 1)) ++count;
    return count;
  }
};

OpList ReadBlockSequence(uint32_t wordBefore) {
  return OpList()
      .Inject(kLdrR0PcWord)
      .Nop(2)
      .Inject(wordBefore)
      .Nop(2)
      .Inject(0xE89001FF /* LDMIA r0, {r0-r8} */, 1)
      .Nop(2)
      .Restart()
      .IceRead(1)  // halted again at once
      .Preamble()
      .Inject(0xE8A001FE /* STMIA r0!, {r1-r8} */)
      .Nop(2)
      .Nop(8)  // r1 to r8
      .Nop(2);
}

TEST_F(MemoryAccessTest, OneWordReadsAWholeBlockAndKeepsOnlyItsWord) {
  target_.SetStoreSource([](int, int word) { return word == 0 ? 0xA1B2C3D4u : 0x11111111u; });
  std::array<uint8_t, 8> destination;
  destination.fill(kUntouched);
  EXPECT_EQ(ArmGetData(core_, 0x8000, destination.data(), 1), kOk);
  EXPECT_EQ(Ops(), OpList().Preamble().Append(ReadBlockSequence(0x7FFC)).Text());
  EXPECT_EQ(destination,
            (std::array<uint8_t, 8>{0xD4, 0xC3, 0xB2, 0xA1, kUntouched, kUntouched, kUntouched, kUntouched}));
  EXPECT_EQ(ProgressPercent(core_), 100);  // reported as 8 of 1
  EXPECT_EQ(TraceCount("------------ArmGetData addr = 0x00008000------------\r\n"), 1);
}

TEST_F(MemoryAccessTest, BigEndianMemoryArrivesMostSignificantByteFirst) {
  SetBigEndianTarget(core_, 1);
  target_.SetStoreSource([](int, int) { return 0xA1B2C3D4u; });
  std::array<uint8_t, 4> destination{};
  EXPECT_EQ(ArmGetData(core_, 0x8000, destination.data(), 1), kOk);
  EXPECT_EQ(destination, (std::array<uint8_t, 4>{0xA1, 0xB2, 0xC3, 0xD4}));
}

uint32_t WordAt(int index) { return 0x5A000000u + static_cast<uint32_t>(index); }

TEST_F(MemoryAccessTest, LongReadMovesEveryWordInBlocksOfEight) {
  target_.SetStoreSource([](int store, int word) { return WordAt(store * 8 + word); });
  std::vector<uint8_t> destination(512 * 4, kUntouched);
  EXPECT_EQ(ArmGetData(core_, 0x00010000, destination.data(), 512), kOk);
  for (int i = 0; i < 512; ++i) {
    const uint8_t* bytes = &destination[static_cast<std::size_t>(i) * 4];
    EXPECT_EQ(static_cast<uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) | static_cast<uint32_t>(bytes[3]) << 24,
              WordAt(i))
        << i;
  }
  const std::vector<Chain1Transfer> transfers = Chain1();
  ASSERT_EQ(transfers.size(), 64u * 22u);
  for (int block = 0; block < 64; ++block) {
    EXPECT_EQ(transfers[static_cast<std::size_t>(block) * 22 + 3].word,
              0x00010000u + 32u * static_cast<uint32_t>(block) - 4u);
  }
  EXPECT_EQ(Count("restart"), 64);
  EXPECT_EQ(ProgressPercent(core_), 100);
}

TEST_F(MemoryAccessTest, StopRequestIsHonouredOnlyEvery256Words) {
  SetBreakRequest(core_, 1);
  std::vector<uint8_t> destination(512 * 4, kUntouched);
  target_.SetStoreSource([](int store, int word) { return WordAt(store * 8 + word); });
  EXPECT_EQ(ArmGetData(core_, 0, destination.data(), 512), kTransferStopped);
  EXPECT_EQ(Count("restart"), 32);
  EXPECT_EQ(ProgressPercent(core_), 50);
  EXPECT_EQ(destination[255 * 4], 0xFF);  // low byte of word 255, 0x5A0000FF
  EXPECT_TRUE(std::all_of(destination.begin() + 256 * 4, destination.end(), [](uint8_t b) { return b == kUntouched; }));
}

TEST_F(MemoryAccessTest, ReportAtTheLastFullStepStopsButTheFinalOneIsIgnored) {
  // The host asks to stop while the 41st block is read.
  target_.SetStoreSource([this](int store, int) {
    if (store == 40) SetBreakRequest(core_, 1);
    return 0u;
  });
  std::vector<uint8_t> destination(520 * 4);
  EXPECT_EQ(ArmGetData(core_, 0, destination.data(), 512), kTransferStopped);  // reported at 512

  ResetProgress(core_);
  port_.ClearLog();
  target_.SetStoreSource([this](int store, int) {
    if (store == 64 + 64) SetBreakRequest(core_, 1);  // the last block of this read
    return 0u;
  });
  EXPECT_EQ(ArmGetData(core_, 0, destination.data(), 520), kOk);  // only the final report sees it
  EXPECT_EQ(Count("restart"), 65);
}

TEST_F(MemoryAccessTest, ReadOfNothingOrOfANegativeCount) {
  EXPECT_EQ(ArmGetData(core_, 0x8000, nullptr, 0), kOk);
  EXPECT_EQ(ProgressPercent(core_), 100);
  EXPECT_EQ(ArmGetData(core_, 0x8000, nullptr, -1), kInvalidParameters);
  EXPECT_EQ(ArmGetData(core_, 0x8000, nullptr, 4), kInvalidParameters);
  EXPECT_EQ(PortAccesses(), 0);
  EXPECT_EQ(TraceCount("------------ArmGetData addr = 0x00008000------------\r\n"), 3);
}

OpList WriteSequence(uint32_t address, int count, const std::vector<uint32_t>& words) {
  OpList ops;
  ops.Preamble().Inject(kLdrR0PcWord).Nop(2).Inject(address).Nop();
  ops.Inject(LdmiaR0LowRegisters(count)).Nop(2);
  for (const uint32_t word : words) ops.Inject(word);
  ops.Nop(3).Inject(0xE1A00000, 1).Inject(StmiaR0LowRegisters(count)).Restart().IceRead(1).Preamble();
  return ops;
}

TEST_F(MemoryAccessTest, OneWordWrite) {
  const std::array<uint8_t, 4> source{0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(ArmPutData(core_, 0x8000, 4, 1, source.data()), kOk);
  const OpList expected = OpList()
                              .Preamble()
                              .Inject(kLdrR0PcWord)
                              .Nop(2)
                              .Inject(0x00008000)
                              .Nop()
                              .Inject(0xE8900002 /* LDMIA r0, {r1} */)
                              .Nop(2)
                              .Inject(0x12345678)
                              .Nop(3)
                              .Inject(0xE1A00000 /* MOV r0, r0 */, 1)
                              .Inject(0xE8800002 /* STMIA r0, {r1} */)
                              .Restart()
                              .IceRead(1)
                              .Preamble();
  EXPECT_EQ(Ops(), expected.Text());
}

TEST_F(MemoryAccessTest, FourteenWordsTakenAtTheStride) {
  std::vector<uint8_t> source(14 * 8);
  std::vector<uint32_t> words;
  for (int i = 0; i < 14; ++i) {
    const uint32_t word = 0xC0DE0000u + static_cast<uint32_t>(i);
    for (int b = 0; b < 4; ++b) source[static_cast<std::size_t>(i * 8 + b)] = static_cast<uint8_t>(word >> (8 * b));
    words.push_back(word);
  }
  EXPECT_EQ(ArmPutData(core_, 0x20000000, 8, 14, source.data()), kOk);
  const std::string expected = WriteSequence(0x20000000, 14, words).Text();
  EXPECT_EQ(Ops(), expected);
  EXPECT_NE(expected.find("inject E8907FFE\n"), std::string::npos);  // LDMIA r0, {r1-r14}
  EXPECT_NE(expected.find("inject E8807FFE\n"), std::string::npos);  // STMIA r0, {r1-r14}
}

TEST_F(MemoryAccessTest, BigEndianWriteReversesTheWordButNotTheCallersBytes) {
  SetBigEndianTarget(core_, 1);
  const std::array<uint8_t, 4> original{0xA1, 0xB2, 0xC3, 0xD4};
  std::array<uint8_t, 4> source = original;
  EXPECT_EQ(ArmPutData(core_, 0x8000, 4, 1, source.data()), kOk);
  EXPECT_EQ(Ops(), WriteSequence(0x8000, 1, {0xA1B2C3D4}).Text());
  EXPECT_EQ(source, original);
}

TEST_F(MemoryAccessTest, HaltedPollGivesUpAfterFiveReadsAndTheWriteIsLost) {
  target_.SetIceRegister(1, 0x01);  // DBGACK without nMREQ: the access never completes
  const std::array<uint8_t, 4> source{};
  EXPECT_EQ(ArmPutData(core_, 0x8000, 4, 1, source.data()), kLinkLost);
  EXPECT_EQ(Count("ice[1] read"), 5);
  EXPECT_TRUE(Ops().ends_with("ice[1] read\nchain 1\nintest\n"));
}

// A lost link shows in what the scans return anyway; a read gives up after the block in
// which it was seen, a write at its end, and neither adds an access of its own.
TEST_F(MemoryAccessTest, ALostLinkFailsTheTransferAfterOneBlock) {
  struct Case {
    const char* what;
    uint32_t irCapture;
    bool powerLost;
    uint32_t debugStatus;
  };
  const Case cases[] = {
      {"instruction capture not 0001", 0x0, false, 0x09},
      {"power-sense lines bad", 0x1, true, 0x09},
      {"debug status wider than five bits", 0x1, false, 0xFFFFFFF9},
      {"core not back in debug state", 0x1, false, 0x00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearLinkObservations(core_);
    target_.SetIrCapture(c.irCapture);
    target_.SetPowerLost(c.powerLost);
    target_.SetIceRegister(1, c.debugStatus);
    std::array<uint8_t, 64> words{};
    port_.ClearLog();
    EXPECT_EQ(ArmGetData(core_, 0x8000, words.data(), 16), kLinkLost);
    EXPECT_EQ(Count("inject E89001FF bp"), 1) << "one block, not two";
    ClearLinkObservations(core_);
    EXPECT_EQ(ArmPutData(core_, 0x8000, 4, 1, words.data()), kLinkLost);
    EXPECT_TRUE(LinkLost(core_));
  }
}

TEST_F(MemoryAccessTest, WritesThatCannotBeMadeSendNothing) {
  const std::array<uint8_t, 64> source{};
  EXPECT_EQ(ArmPutData(core_, 0x8000, 4, 0, source.data()), kOk);                  // partial words are the caller's
  EXPECT_EQ(ArmPutData(core_, 0x8000, 4, 15, source.data()), kInvalidParameters);  // r15 would join the list
  EXPECT_EQ(ArmPutData(core_, 0x8000, 4, -1, source.data()), kInvalidParameters);
  EXPECT_EQ(ArmPutData(core_, 0x8000, -4, 1, source.data()), kInvalidParameters);
  EXPECT_EQ(ArmPutData(core_, 0x8000, 4, 1, nullptr), kInvalidParameters);
  EXPECT_EQ(PortAccesses(), 0);
}

}  // namespace
}  // namespace vantrel::test
