// The memory map through commands 85 and 86, and what it does to real transfers on the
// board: write-only bytes read as 0xFF, read-only bytes are not written.
#include "memory_requests.h"

namespace vantrel::e2e {
namespace {

using test::ResponseText;

class MemoryMapTest : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    OpenAndConnect();
    ASSERT_EQ(library().getDbgStatus(1), 3);
  }
  void ExpectAdded(const JtagResponse& response) {
    EXPECT_EQ(response.echo, 0);
    EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
    EXPECT_EQ(response.length, 0);
  }
};

TEST_F(MemoryMapTest, AnswersOfAddingRegions) {
  ExpectAdded(AddRegion(0x1000, 0x1000, VANTREL_REGION_READ_ONLY));
  ExpectAdded(AddRegion(0x0000, 0x1000, VANTREL_REGION_WRITE_ONLY));
  ExpectAdded(AddRegion(0x2000, 0x1000, VANTREL_REGION_READ_WRITE));
  JtagResponse response = AddRegion(0x1800, 0x10, VANTREL_REGION_READ_WRITE);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "overlap memory configuration");
  EXPECT_EQ(response.length, 29);
  for (uint64_t i = 3; i < 50; ++i) ExpectAdded(AddRegion(0x10000 + i * 0x10, 0x10, VANTREL_REGION_READ_WRITE));
  response = AddRegion(0x100000, 0x10, VANTREL_REGION_READ_WRITE);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "too many configurations(must less than 50)");
  EXPECT_EQ(response.length, 43);
  response = AddRegion(0x1800, 0x10, VANTREL_REGION_READ_WRITE);
  EXPECT_EQ(ResponseText(response), "overlap memory configuration") << "overlap is tested before the limit";
}

TEST_F(MemoryMapTest, ListingBytes) {
  JtagResponse response = ListRegions();
  EXPECT_EQ(response.echo, 0);
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  EXPECT_EQ(ResponseText(response), "no memory configuration\r\n");
  EXPECT_EQ(response.length, 26);

  ExpectAdded(AddRegion(0, 0x10000, VANTREL_REGION_READ_ONLY));
  ExpectAdded(AddRegion(0x100020000u, 0x100, VANTREL_REGION_READ_WRITE));
  ExpectAdded(AddRegion(0x30000, 0, 7));
  response = ListRegions();
  const std::string expected =
      "No    StartAddr     Length        Property\r\n"
      "01    0x00000000    0x00010000    -R\r\n"
      "02    0x00020000    0x00000100    -RW\r\n"
      "03    0x00030000    0x00000000    -(7)\r\n";
  EXPECT_EQ(ResponseText(response), expected);
  EXPECT_EQ(response.length, static_cast<int32_t>(expected.size() + 1));
}

TEST_F(MemoryMapTest, ListingOfMoreThanTwentyFiveRegionsEndsWithTheLastWholeRow) {
  for (uint64_t i = 0; i < 40; ++i) ExpectAdded(AddRegion(i * 0x100, 0x100, VANTREL_REGION_WRITE_ONLY));
  const JtagResponse response = ListRegions();
  const std::string text = ResponseText(response);
  EXPECT_EQ(text.size(), 44u + 25u * 38u) << "a 26th row of 38 characters would pass 1023";
  EXPECT_EQ(text.substr(text.size() - 38), "25    0x00001800    0x00000100    -W\r\n");
  EXPECT_EQ(response.length, static_cast<int32_t>(text.size() + 1));
}

TEST_F(MemoryMapTest, OnlyASuccessfulConnectEmptiesTheMap) {
  ExpectAdded(AddRegion(0x1000, 0x100, VANTREL_REGION_READ_ONLY));
  ASSERT_EQ(Reconnect().status, VANTREL_STATUS_OK);
  EXPECT_NE(ResponseText(ListRegions()), "no memory configuration\r\n");

  vsim::BoardConfig absent;
  absent.faults.targetAbsent = true;
  UseBoard(absent);
  ASSERT_EQ(Disconnect().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
  EXPECT_EQ(Connect().status, VANTREL_STATUS_FAILED);
  EXPECT_NE(ResponseText(ListRegions()), "no memory configuration\r\n");

  UseBoard(vsim::BoardConfig{});
  ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
  EXPECT_EQ(ResponseText(ListRegions()), "no memory configuration\r\n");
}

TEST_F(MemoryMapTest, WriteOnlyBytesReadAsFFAndAReadWhollyInsideIsRefused) {
  FillBoard(0x1000, 0x200, 0x31);
  ExpectAdded(AddRegion(0x1100, 0x100, VANTREL_REGION_WRITE_ONLY));
  std::vector<uint8_t> buffer(0x40, 0);
  ASSERT_EQ(ReadMemory(0x10E1, buffer.data(), 0x40).status, VANTREL_STATUS_OK);
  std::vector<uint8_t> expected = BoardBytes(0x10E1, 0x1F);
  expected.resize(0x40, 0xFF);
  EXPECT_EQ(buffer, expected);

  const JtagResponse response = ReadMemory(0x1180, buffer.data(), 0x10);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(response.length, 0);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 0x10), std::vector<uint8_t>(0x10, 0xFF));
  EXPECT_EQ(StatusWord() >> 8, 0x300) << "with good power a refused read does not mark the target down";
}

// The power lines never read: a refused read is no sign of a lost target.
TEST_F(MemoryTest, ARefusedReadWithThePowerNeverReadKeepsTheTarget) {
  OpenAndConnect();
  ASSERT_EQ(AddRegion(0x1100, 0x100, VANTREL_REGION_WRITE_ONLY).status, VANTREL_STATUS_OK);
  std::vector<uint8_t> buffer(0x10, 0);
  EXPECT_EQ(ReadMemory(0x1180, buffer.data(), 0x10).status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(StatusWord() >> 8, 0x300);
  EXPECT_EQ(ReadRegistersByMode("cur").status, VANTREL_STATUS_OK);
}

TEST_F(MemoryMapTest, ReadOnlyBytesAreNotWritten) {
  FillBoard(0x1000, 0x400, 0x52);
  const std::vector<uint8_t> before = BoardBytes(0x1000, 0x400);
  ExpectAdded(AddRegion(0x1200, 0x200, VANTREL_REGION_READ_ONLY));
  const std::vector<uint8_t> data = Pattern(0x201, 0xC3);
  library().jtagClearLastError();
  ASSERT_EQ(WriteMemory(0x10FF, data).status, VANTREL_STATUS_OK);  // a job, ending inside the region
  EXPECT_EQ(WaitForJob(), 0);
  std::vector<uint8_t> expected = before;
  std::copy(data.begin(), data.begin() + 0x101, expected.begin() + 0xFF);  // up to the region
  EXPECT_EQ(BoardBytes(0x1000, 0x400), expected);

  JtagResponse response = WriteMemory(0x1300, Pattern(8, 1));
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(response.length, 0);
  library().jtagClearLastError();
  ASSERT_EQ(WriteMemory(0x1200, Pattern(0x200, 2)).status, VANTREL_STATUS_OK);
  EXPECT_EQ(WaitForJob(), -3);
  EXPECT_EQ(BoardBytes(0x1000, 0x400), expected);
}

}  // namespace
}  // namespace vantrel::e2e
