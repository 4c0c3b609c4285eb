// Reads and writes through the loaded library, compared byte for byte with the board's
// memory: short ones inside the command, long ones as background jobs, at aligned and
// unaligned addresses, on little- and big-endian targets.
#include <cstddef>
#include <cstdlib>
#include <string>

#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

using test::ResponseText;

constexpr uint32_t kRamArea = 0x4000;
constexpr uint32_t kRomBase = 0x80000;

struct TransferCase {
  bool bigEndian;
  uint32_t misalignment;
  int32_t length;
};

class TransferTest : public MemoryTest, public ::testing::WithParamInterface<TransferCase> {
 protected:
  vsim::BoardConfig BoardConfiguration() const override {
    vsim::BoardConfig config;
    config.endianness = GetParam().bigEndian ? vsim::Endianness::kBig : vsim::Endianness::kLittle;
    return config;
  }
  void SetUp() override {
    MemoryTest::SetUp();
    ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
    ASSERT_EQ(Connect(GetParam().bigEndian ? 1 : 0).status, VANTREL_STATUS_OK);
    ASSERT_EQ(library().getDbgStatus(1), 3);
  }
  // A background job answers at once; its outcome is the last error.
  void Finish(const JtagResponse& response, int32_t length) {
    ASSERT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
    if (length >= 256) {
      EXPECT_EQ(WaitForJob(), 0);
    } else {
      EXPECT_EQ(library().jtagGetLastError(), 1) << "a short transfer leaves the last error alone";
    }
    EXPECT_EQ(library().getJtagProcess(), 100);
  }
};

TEST_P(TransferTest, WriteChangesExactlyTheRequestedBytes) {
  const TransferCase& c = GetParam();
  const uint32_t address = kRamArea + c.misalignment;
  FillBoard(kRamArea - 8, static_cast<std::size_t>(c.length) + 16, 0x40);
  const std::vector<uint8_t> before = BoardBytes(kRamArea - 8, static_cast<std::size_t>(c.length) + 16);
  const std::vector<uint8_t> data = Pattern(static_cast<std::size_t>(c.length), 0xA5);
  library().jtagClearLastError();
  Finish(WriteMemory(address, data, /*verify=*/1), c.length);

  std::vector<uint8_t> expected = before;
  std::copy(data.begin(), data.end(), expected.begin() + static_cast<std::ptrdiff_t>(8 + c.misalignment));
  EXPECT_EQ(BoardBytes(kRamArea - 8, expected.size()), expected);
}

TEST_P(TransferTest, ReadDeliversExactlyTheRequestedBytes) {
  const TransferCase& c = GetParam();
  const uint32_t address = kRamArea + c.misalignment;
  FillBoard(kRamArea, static_cast<std::size_t>(c.length) + 8, 0x17);
  std::vector<uint8_t> buffer(static_cast<std::size_t>(c.length) + 4, 0xEE);
  library().jtagClearLastError();
  Finish(ReadMemory(address, buffer.data(), c.length, VANTREL_CMD_READ_MEMORY2), c.length);

  std::vector<uint8_t> expected = BoardBytes(address, static_cast<std::size_t>(c.length));
  expected.insert(expected.end(), 4, 0xEE);  // nothing past the requested length
  EXPECT_EQ(buffer, expected);
}

std::vector<TransferCase> Cases() {
  std::vector<TransferCase> cases;
  for (bool bigEndian : {false, true}) {
    for (uint32_t misalignment : {0u, 1u, 3u}) {
      for (int32_t length : {1, 3, 4, 5, 255, 256, 4097}) cases.push_back({bigEndian, misalignment, length});
    }
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<TransferCase>& info) {
  return std::string(info.param.bigEndian ? "Big" : "Little") + "_At" + std::to_string(info.param.misalignment) +
         "_Bytes" + std::to_string(info.param.length);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TransferTest, ::testing::ValuesIn(Cases()), CaseName);

// The fast mode, chosen as a host chooses it, writes and reads back the same bytes with
// well under half the port accesses.
TEST_F(MemoryTest, FastTransfersMoveTheSameBytesWithFarFewerAccesses) {
  const std::vector<uint8_t> data = Pattern(4096, 0x3C);
  uint64_t accesses[2] = {};
  for (int fast = 0; fast < 2; ++fast) {
    library().VantrelSetTransferMode(fast == 1 ? VANTREL_TRANSFER_FAST : VANTREL_TRANSFER_EXACT);
    FillBoard(kRamArea, data.size() + 8, 0x11);
    const std::vector<uint8_t> after = BoardBytes(kRamArea + 4096, 8);
    OpenAndConnect();
    library().jtagClearLastError();
    ClearPortLog();
    ASSERT_EQ(WriteMemory(kRamArea, data, /*verify=*/1).status, VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
    std::vector<uint8_t> back(data.size());
    library().jtagClearLastError();
    ASSERT_EQ(ReadMemory(kRamArea, back.data(), static_cast<int32_t>(back.size()), VANTREL_CMD_READ_MEMORY2).status,
              VANTREL_STATUS_OK);
    ASSERT_EQ(WaitForJob(), 0);
    accesses[fast] = PortAccesses();
    EXPECT_EQ(back, data);
    EXPECT_EQ(BoardBytes(kRamArea, data.size()), data);
    EXPECT_EQ(BoardBytes(kRamArea + 4096, 8), after);
  }
  EXPECT_LT(accesses[1] * 2, accesses[0]);
}

class TransferCommandTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    OpenAndConnect();
    ASSERT_EQ(library().getDbgStatus(1), 3);
  }
};

TEST_F(TransferCommandTest, WriteWithVerifyIntoRomAnswersTheVerifyMessageOrJobResult) {
  const std::vector<uint8_t> shortData = Pattern(16, 1);
  JtagResponse response = WriteMemory(kRomBase, shortData, 1, 4, VANTREL_CMD_WRITE_MEMORY2);
  EXPECT_EQ(response.echo, VANTREL_CMD_WRITE_MEMORY);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "verify failed, please check hardware or memory configurature(mem.set)");

  const std::vector<uint8_t> longData = Pattern(1024, 2);
  library().jtagClearLastError();
  response = WriteMemory(kRomBase, longData, 1);
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), -5);
  // Without verify the same write reports success: ROM ignores bus writes.
  library().jtagClearLastError();
  EXPECT_EQ(WriteMemory(kRomBase, longData, 0).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), 0);
}

TEST_F(TransferCommandTest, BadLengthsAndWidthsAreRefusedBeforeAnyTraffic) {
  FillBoard(kRamArea, 16, 0x33);
  const std::vector<uint8_t> before = BoardBytes(kRamArea, 16);
  const std::vector<uint8_t> data = Pattern(16, 9);
  std::vector<uint8_t> buffer(16, 0x77);
  library().jtagClearLastError();
  ClearPortLog();
  const JtagResponse refusals[] = {
      WriteMemoryRaw(kRamArea, data.data(), 0, 0, 4),   WriteMemoryRaw(kRamArea, data.data(), -4, 0, 4),
      WriteMemoryRaw(kRamArea, data.data(), 16, 0, 0),  WriteMemoryRaw(kRamArea, data.data(), 16, 0, 5),
      WriteMemoryRaw(kRamArea, data.data(), 16, 0, -4), ReadMemory(kRamArea, buffer.data(), 0),
      ReadMemory(kRamArea, buffer.data(), -1),
  };
  for (const JtagResponse& response : refusals) {
    EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(ResponseText(response), "invalid parameters are used");
  }
  EXPECT_EQ(PortAccesses(), 0u);
  EXPECT_EQ(BoardBytes(kRamArea, 16), before);
  EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0x77));
  EXPECT_EQ(library().jtagGetLastError(), 1);
}

TEST_F(TransferCommandTest, TransfersNeedAHaltedCore) {
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  std::vector<uint8_t> buffer(8, 0);
  JtagResponse response = ReadMemory(kRamArea, buffer.data(), 8);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "status error");
  response = WriteMemory(kRamArea, Pattern(8, 0));
  EXPECT_EQ(ResponseText(response), "status error");
  library().jtagClearLastError();
  std::vector<uint8_t> longBuffer(512, 0);
  EXPECT_EQ(ReadMemory(kRamArea, longBuffer.data(), 512).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), -2);
}

}  // namespace
}  // namespace vantrel::e2e
