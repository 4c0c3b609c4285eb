// A background job on its worker thread, with no cable: the worker is handed the command
// state its job was started in, and stores the outcome there and nowhere else.
#include "commands/transfer_jobs.h"

#include <gtest/gtest.h>

#include <vector>

#include "commands/command_state.h"
#include "commands/job_result.h"
#include "platform/platform.h"
#include "support/fresh_session.h"

namespace vantrel::commands {
namespace {

TEST(TransferJobs, TheWorkerStoresItsOutcomeInTheStateItWasStartedIn) {
  test::FreshSession started;
  CommandState other;
  std::vector<uint8_t> buffer(kBackgroundTransferBytes);
  // Long enough for a job; the target was never connected, so the read fails.
  ASSERT_EQ(ReadMemoryCommand(started.Commands(), 0x1000, buffer.data(), kBackgroundTransferBytes), kOk);
  platform::WaitForStartedThreads();
  EXPECT_EQ(LastJobResult(started.Commands()), JobResult::kReadFailed);
  EXPECT_EQ(LastJobResult(other), JobResult::kNone);
}

}  // namespace
}  // namespace vantrel::commands
