// Open, connect, run, stop, reconnect and disconnect through the loaded library against
// the simulated board, with the status word the host polls in each state.
#include <gmock/gmock.h>

#include "fixture/board_fixture.h"

namespace vantrel::e2e {
namespace {

using test::ResponseText;
using ::testing::ElementsAre;

constexpr uint16_t kControlPort = 0x37A;

// At 0 a branch to 0x1000, where the core sets r1 and r2 and counts in r0.
const std::vector<uint32_t> kBranchTo1000{0xEA0003FE /* B 0x1000 */};
const std::vector<uint32_t> kCountingLoop{
    0xE3A01011,  // 0x1000 MOV r1, #0x11
    0xE3A02022,  // 0x1004 MOV r2, #0x22
    0xE2800001,  // 0x1008 ADD r0, r0, #1
    0xEAFFFFFD,  // 0x100C B 0x1008
};

class ConnectionTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    LoadWords(0, kBranchTo1000);
    LoadWords(0x1000, kCountingLoop);
  }

  uint32_t SavedPcByName() {
    const JtagResponse response = ReadRegistersByNames({"pc"});
    EXPECT_EQ(response.status, VANTREL_STATUS_OK);
    return ResponseWords(response).at(0);
  }

  bool InCountingLoop() { return board().Reg(15) >= 0x1008 && board().Reg(15) <= 0x100C; }
};

TEST_F(ConnectionTest, OpenFindsTheBoardOnLpt1AndNothingOnLpt2) {
  EXPECT_EQ(StatusWord(), 0x00FF0011) << "nothing opened, the TAP never reset";

  JtagResponse response = Open("lpt2");
  EXPECT_EQ(response.echo, VANTREL_CMD_OPEN);
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "emulator not found, please check power and hardware connection");
  EXPECT_EQ(StatusWord() >> 8, 0xFF00);

  response = Open("LPT1");
  EXPECT_EQ(response.echo, VANTREL_CMD_OPEN);
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  EXPECT_EQ(response.length, 0);
  EXPECT_EQ(StatusWord(), 0x00020011);
}

TEST_F(ConnectionTest, ConnectBeforeAnyOpenFindsNoEmulatorAndTouchesNoPort) {
  const JtagResponse response = Connect();
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "emulator not found, please check power and hardware connection");
  EXPECT_EQ(PortAccesses(), 0u);
}

TEST_F(ConnectionTest, ConnectResetsIdentifiesAndHaltsWithThePcAtZero) {
  // A core far from its reset state: user mode, interrupts enabled, running the loop.
  board().SetCpsr(0x10);
  board().SetReg(15, 0x1008);
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);

  const JtagResponse response = Connect();
  EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
  EXPECT_EQ(response.echo, 0);
  EXPECT_TRUE(board().InDebugState());
  EXPECT_EQ(board().Cpsr() & 0xFF, 0xD3u) << "the reset line put the core in supervisor mode";
  EXPECT_EQ(SavedPcByName(), 0u);
  EXPECT_EQ(StatusWord(), 0x00030001);

  // A second connect while connected sends nothing.
  ClearPortLog();
  EXPECT_EQ(Connect().status, VANTREL_STATUS_OK);
  EXPECT_EQ(PortAccesses(), 0u);

  // The program starts at 0.
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(50);
  EXPECT_TRUE(InCountingLoop());
  EXPECT_EQ(board().Reg(2), 0x22u);
  EXPECT_EQ(StatusWord(), 0x00050000);
}

struct FailingBoard {
  const char* what;
  uint32_t idcode;
  bool neverHalts;
};

class ConnectFailureTest : public ConnectionTest, public ::testing::WithParamInterface<FailingBoard> {};

TEST_P(ConnectFailureTest, ATargetThatIsNotRightIsNotFound) {
  vsim::BoardConfig config;
  config.idcode = GetParam().idcode;
  config.faults.coreNeverHalts = GetParam().neverHalts;
  UseBoard(config);
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);

  const JtagResponse response = Connect();
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "target not found, please check power and hardware connection");
  EXPECT_EQ(StatusWord() >> 8, 0x200) << "a failed connect leaves the state alone";
  EXPECT_EQ(Run().status, VANTREL_STATUS_FAILED);
}

INSTANTIATE_TEST_SUITE_P(Boards, ConnectFailureTest,
                         ::testing::Values(FailingBoard{"WrongIdcode", 0x3F0F0F0E, false},
                                           FailingBoard{"CoreNeverHalts", 0x3F0F0F0F, true}),
                         [](const auto& p) { return std::string(p.param.what); });

TEST_F(ConnectionTest, StopHaltsTheRunningCoreAndAnswersItsSavedPc) {
  OpenAndConnect();
  JtagResponse response = Stop();
  EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
  EXPECT_EQ(ResponseText(response), "status error") << "a connected core is not running";

  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK) << "running already";
  RunBoard(100);
  response = Stop();
  ASSERT_EQ(response.status, VANTREL_STATUS_OK);
  EXPECT_EQ(response.length, 4);
  ASSERT_TRUE(board().InDebugState());
  EXPECT_EQ(ResponseWords(response).at(0), board().HaltAddress());
  EXPECT_TRUE(board().HaltAddress() == 0x1008 || board().HaltAddress() == 0x100C);
  EXPECT_EQ(StatusWord(), 0x00040001);

  ClearPortLog();
  const JtagResponse again = Stop();
  EXPECT_EQ(again.status, VANTREL_STATUS_OK);
  EXPECT_EQ(ResponseWords(again).at(0), board().HaltAddress());
  EXPECT_EQ(PortAccesses(), 0u) << "halted already";
}

TEST_F(ConnectionTest, ReconnectOnARunningTargetHaltsItAfterAReset) {
  OpenAndConnect();
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(100);
  board().SetCpsr(0x10);  // so that the reset shows

  const JtagResponse response = Reconnect();
  EXPECT_EQ(response.echo, VANTREL_CMD_RECONNECT);
  EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
  EXPECT_TRUE(board().InDebugState());
  EXPECT_EQ(board().Cpsr() & 0xFF, 0xD3u);
  EXPECT_EQ(SavedPcByName(), 0u);
  EXPECT_EQ(StatusWord(), 0x00030001);
  EXPECT_TRUE(OtherPortWrites().empty()) << "the cable is not released";
}

TEST_F(ConnectionTest, DisconnectRestartsFromZeroAndReleasesTheCable) {
  OpenAndConnect();
  ASSERT_EQ(WriteRegister("pc", 0x1008).status, VANTREL_STATUS_OK);
  ASSERT_EQ(Run().status, VANTREL_STATUS_OK);
  RunBoard(20);
  board().SetReg(2, 0);
  ClearPortLog();

  JtagResponse response = Disconnect();
  EXPECT_EQ(response.status, VANTREL_STATUS_OK) << ResponseText(response);
  EXPECT_EQ(response.echo, 0);
  EXPECT_THAT(OtherPortWrites(),
              ElementsAre(PortWrite{kControlPort, 0x0B}, PortWrite{kControlPort, 0}, PortWrite{kControlPort, 0}));
  EXPECT_FALSE(board().InDebugState());
  RunBoard(50);
  EXPECT_TRUE(InCountingLoop());
  EXPECT_EQ(board().Reg(2), 0x22u) << "the program ran again from address 0";
  EXPECT_EQ(StatusWord(), 0x00020011) << "target down, TAP left in Test-Logic-Reset";

  ClearPortLog();
  response = Disconnect();
  EXPECT_EQ(response.status, VANTREL_STATUS_WARNING);
  EXPECT_EQ(ResponseText(response), "the target already in sys down status");
  EXPECT_EQ(OtherPortWrites().size(), 3u) << "released all the same";
  EXPECT_EQ(Run().status, VANTREL_STATUS_FAILED);
}

TEST_F(ConnectionTest, DisconnectOfAHaltedCoreRestartsItWithoutAHaltRequest) {
  OpenAndConnect();
  const JtagResponse response = Disconnect();
  EXPECT_EQ(response.status, VANTREL_STATUS_OK);
  EXPECT_EQ(TraceCount("Waiting for the debugger to stop st = 0x00000000......\r\n"), 0);
  EXPECT_FALSE(board().InDebugState());
  RunBoard(50);
  EXPECT_TRUE(InCountingLoop());
}

TEST_F(ConnectionTest, ASuccessfulConnectEmptiesTheMemoryMapAndAReconnectKeepsIt) {
  JtagRequest region = test::EmptyRequest();
  region.args.addRegion = VantrelMemoryRegion{0x80000, 0x10000, VANTREL_REGION_READ_ONLY, 0};
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
  ASSERT_EQ(Call(VANTREL_CMD_ADD_REGION, region).status, VANTREL_STATUS_OK);
  ASSERT_EQ(Connect().status, VANTREL_STATUS_OK);
  EXPECT_EQ(ResponseText(Call(VANTREL_CMD_LIST_REGIONS)), "no memory configuration\r\n");

  ASSERT_EQ(Call(VANTREL_CMD_ADD_REGION, region).status, VANTREL_STATUS_OK);
  ASSERT_EQ(Reconnect().status, VANTREL_STATUS_OK);
  EXPECT_NE(ResponseText(Call(VANTREL_CMD_LIST_REGIONS)), "no memory configuration\r\n");
}

TEST_F(ConnectionTest, OpenWhileConnectedTakesTheTargetDown) {
  OpenAndConnect();
  ASSERT_EQ(Open().status, VANTREL_STATUS_OK);
  EXPECT_EQ(StatusWord() >> 8, 0x200);
  EXPECT_EQ(ResponseText(Run()), "status error");
  EXPECT_EQ(Connect().status, VANTREL_STATUS_OK) << "connects from scratch";
}

}  // namespace
}  // namespace vantrel::e2e
