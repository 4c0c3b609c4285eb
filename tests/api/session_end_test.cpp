// The exports after the unload has ended the session's layers: a host thread that still
// calls while its process exits gets the answers of an idle library, never the state
// that is gone. Its own process, since the session it ends is the process's.
#include <gtest/gtest.h>

#include "api/session.h"
#include "vantrel.h"
#include "vantrel_port.h"

namespace vantrel::test {
namespace {

TEST(SessionEnd, ExportsCalledAfterTheLayersEndedReachNothing) {
  api::TheSession().ForgetLayerStates();

  EXPECT_EQ(getJtagProcess(), 0);
  setJtagProcessBreak();
  EXPECT_EQ(jtagGetLastError(), VANTREL_JOB_NONE);
  jtagClearLastError();
  VantrelUsePortIo(nullptr);
  VantrelSetTransferMode(VANTREL_TRANSFER_FAST);
  EXPECT_EQ(getDbgStatus(VANTREL_SELECT_STATUS_WORD), -1);
}

}  // namespace
}  // namespace vantrel::test
