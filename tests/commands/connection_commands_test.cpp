// Commands 33 and 38 through the dispatcher, with no cable: the byte-order flag is
// stored whatever the connect gives, and a failed connect keeps the memory map.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "arm7/core_state.h"
#include "commands/dispatcher.h"
#include "support/fresh_session.h"
#include "target/memory_map.h"
#include "target/target_state.h"

namespace vantrel::commands {
namespace {

std::string Text(const JtagResponse& response) { return reinterpret_cast<const char*>(response.data); }

class ConnectionCommandsTest : public ::testing::Test {
 protected:
  JtagResponse Dispatch(int32_t code, int32_t bigEndian = 0) {
    JtagRequest request;
    std::memset(&request, 0, sizeof request);
    request.kind = VANTREL_KIND_CABLE;
    request.code = code;
    request.args.connect.bigEndian = bigEndian;
    JtagResponse response;
    std::memset(&response, 0xA5, sizeof response);
    DispatchCommand(session_.Commands(), &request, &response);
    return response;
  }

  test::FreshSession session_;
};

TEST_F(ConnectionCommandsTest, TheBigEndianFlagIsStoredBeforeTheConnectWhateverItGives) {
  for (const auto& [flag, stored] :
       {std::pair{1, 1}, std::pair{2, 0}, std::pair{-1, 0}, std::pair{1, 1}, std::pair{0, 0}}) {
    const JtagResponse response = Dispatch(VANTREL_CMD_CONNECT, flag);
    EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(Text(response), "emulator not found, please check power and hardware connection");
    EXPECT_EQ(arm7::BigEndianTarget(session_.Core()), stored) << flag;
  }
}

TEST_F(ConnectionCommandsTest, FailedConnectsAndReconnectsKeepTheMemoryMap) {
  ASSERT_EQ(target::AddMemoryRegion(session_.Target(), {0x1000, 0x100, target::kReadOnlyRegion, 0}),
            target::AddRegionOutcome::kAdded);
  EXPECT_EQ(Dispatch(VANTREL_CMD_CONNECT).status, VANTREL_STATUS_FAILED);
  const JtagResponse reconnect = Dispatch(VANTREL_CMD_RECONNECT);
  EXPECT_EQ(reconnect.echo, VANTREL_CMD_RECONNECT);
  EXPECT_EQ(Text(reconnect), "emulator not found, please check power and hardware connection");
  EXPECT_EQ(target::MemoryRegionCount(session_.Target()), 1);
}

TEST_F(ConnectionCommandsTest, RunAndStopOutsideTheirStatesAnswerStatusError) {
  for (const int32_t code : {VANTREL_CMD_RUN, VANTREL_CMD_STOP}) {
    const JtagResponse response = Dispatch(code);
    EXPECT_EQ(response.echo, 0);
    EXPECT_EQ(response.status, VANTREL_STATUS_FAILED);
    EXPECT_EQ(Text(response), "status error");
    EXPECT_EQ(response.length, 13);
  }
}

}  // namespace
}  // namespace vantrel::commands
