// Accesses that abort, through the loaded library on a board with an aborting region.
#include <string>
#include <utility>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

constexpr uint32_t kBranchToSelf = 0xEAFFFFFE;  // B .
constexpr uint8_t kUntouched = 0xA5;

// An access that aborts takes the core into Abort mode and then back into debug state;
// the words it moved are none of memory's. The transfer fails, the read's destination is
// left alone, and the core stays halted, put back as it was (mode, CPSR and the banked
// registers), so that the next abort shows too, whatever mode the core halted in.
class DataAbortTest : public MemoryTest {
 protected:
  static constexpr uint32_t kAbortBase = 0x40000;
  static constexpr uint32_t kRamAfterAbort = 0x41000;
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.regions = {{0, kAbortBase, vsim::RegionKind::kRam},
                      {kAbortBase, 0x1000, vsim::RegionKind::kAbort},
                      {kRamAfterAbort, 0x1000, vsim::RegionKind::kRam}};
    return config;
  }
  // The core loops at the reset vector rather than run into the region before the halt.
  void SetUp() override {
    MemoryTest::SetUp();
    LoadWords(0, std::vector<uint32_t>(16, kBranchToSelf));
  }

  // A short transfer answers at once; a long one runs as a job. True when it failed.
  bool Failed(bool write, uint32_t address, int32_t length) {
    std::vector<uint8_t> buffer(static_cast<std::size_t>(length), kUntouched);
    const std::vector<uint8_t> data = Pattern(buffer.size(), 0x31);
    library().jtagClearLastError();
    const JtagResponse response = write ? WriteMemory(address, data, 1) : ReadMemory(address, buffer.data(), length);
    EXPECT_EQ(buffer, std::vector<uint8_t>(buffer.size(), kUntouched)) << "a failed read leaves the destination";
    if (length >= 256) {
      EXPECT_EQ(response.status, VANTREL_STATUS_OK);
      const int result = WaitForJob(std::chrono::seconds(60));
      EXPECT_NE(result, 1);
      return result != 0;
    }
    if (response.status == VANTREL_STATUS_OK) return false;
    EXPECT_EQ(test::ResponseText(response),
              write ? "some errors occur  when writing bus" : "some errors occur  when reading bus");
    return true;
  }
};

TEST_F(DataAbortTest, EveryAbortFailsItsTransferAndTheCoreIsPutBack) {
  struct Start {
    const char* mode;
    uint32_t cpsr;
    std::vector<std::string> kept;  // registers that no abort may change
  };
  const Start starts[] = {
      {"svc", 0x600000D3, {"cpsr", "r8", "r13", "r14", "spsr", "r13_usr", "r14_usr", "r13_irq"}},
      {"abt", 0x600000D7, {"cpsr", "r8", "r13", "r14", "spsr", "r13_usr", "r14_usr", "r13_svc"}},
  };
  const std::vector<std::pair<std::string, uint32_t>> values = {
      {"r13_usr", 0x1300}, {"r14_usr", 0x1400}, {"r13_svc", 0x2300},      {"r14_svc", 0x2400}, {"spsr_svc", 0x30000010},
      {"r13_abt", 0x3300}, {"r14_abt", 0x3400}, {"spsr_abt", 0x90000010}, {"r13_irq", 0x4300}, {"r8", 0x888}};
  for (const Start& start : starts) {
    SCOPED_TRACE(start.mode);
    OpenAndConnect();
    for (const auto& [name, value] : values) ASSERT_EQ(WriteRegister(name, value).status, VANTREL_STATUS_OK) << name;
    ASSERT_EQ(WriteRegister("cpsr", start.cpsr).status, VANTREL_STATUS_OK);
    const JtagResponse before = ReadRegistersByNames(start.kept);
    ASSERT_EQ(before.status, VANTREL_STATUS_OK);
    FillBoard(0x1000, 64, 0x6B);
    const std::vector<uint8_t> ram = BoardBytes(0x1000, 64);

    EXPECT_TRUE(Failed(true, kAbortBase + 0x100, 64)) << "short write with verify";
    EXPECT_TRUE(Failed(false, kAbortBase, 64)) << "short read right after";
    std::vector<uint8_t> readBack(64);
    ASSERT_EQ(ReadMemory(0x1000, readBack.data(), 64).status, VANTREL_STATUS_OK) << "RAM right after";
    EXPECT_EQ(readBack, ram);
    EXPECT_TRUE(Failed(false, kAbortBase - 0x800, 4096)) << "long read ending in the region";
    EXPECT_TRUE(Failed(true, kAbortBase, 1024)) << "long write with verify starting in it";
    EXPECT_TRUE(Failed(true, kAbortBase - 2, 4)) << "a write whose last word is read first";

    EXPECT_EQ(StatusWord() >> 8, 0x300) << "the core stays halted";
    const JtagResponse after = ReadRegistersByNames(start.kept);
    EXPECT_EQ(ResponseWords(after), ResponseWords(before));
    ASSERT_EQ(ReadMemory(0x1000, readBack.data(), 64).status, VANTREL_STATUS_OK);
    EXPECT_EQ(readBack, ram);
    ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
  }
}

// Readable words right next to the aborting region read as they are, however the
// transfer's blocks fall: the region is touched only by a request that reaches into it.
TEST_F(DataAbortTest, ReadsThatEndOrStartAtTheRegionsEdgeSucceed) {
  struct Read {
    uint32_t address;
    int32_t length;
  };
  const Read reads[] = {
      {kAbortBase - 4, 4}, {kAbortBase - 3, 3},     {kAbortBase - 40, 40}, {kAbortBase - 512, 512},
      {kRamAfterAbort, 4}, {kRamAfterAbort + 1, 2}, {kRamAfterAbort, 36},  {kRamAfterAbort, 1024},
  };
  OpenAndConnect();
  FillBoard(kAbortBase - 0x400, 0x400, 0x5C);
  FillBoard(kRamAfterAbort, 0x400, 0x7E);
  for (const Read& read : reads) {
    SCOPED_TRACE(testing::Message() << std::hex << read.address << "+" << std::dec << read.length);
    std::vector<uint8_t> buffer(static_cast<std::size_t>(read.length));
    library().jtagClearLastError();
    ASSERT_EQ(ReadMemory(read.address, buffer.data(), read.length).status, VANTREL_STATUS_OK);
    if (read.length >= 256) {
      ASSERT_EQ(WaitForJob(std::chrono::seconds(60)), 0);
    }
    EXPECT_EQ(buffer, BoardBytes(read.address, static_cast<std::size_t>(read.length)));
  }
  EXPECT_EQ(StatusWord() >> 8, 0x300) << "the core stays halted";
}

}  // namespace
}  // namespace vantrel::e2e
