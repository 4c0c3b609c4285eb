// A cable found on a recording port with a scripted target behind it, the TAP reset into
// Run-Test/Idle and the log cleared: each test sees only the traffic of the operation
// under test. Trace lines are collected; the library's waits take virtual time. For
// programs that link the library's objects.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arm7/core_state.h"
#include "arm7/link_check.h"
#include "arm7/progress.h"
#include "cable/cable.h"
#include "cable/port_io.h"
#include "cable/tap.h"
#include "common/result_code.h"
#include "platform/trace.h"
#include "support/fresh_session.h"
#include "support/recording_port.h"
#include "support/scripted_target.h"
#include "support/tap_decoder.h"
#include "support/virtual_clock.h"

namespace vantrel::test {

class ScriptedCableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const VantrelPortIo io = port_.Io();
    cable::UsePortIo(session_.Port(), &io);
    ASSERT_EQ(cable::OpenCable(session_.Port(), 0), kOk);
    cable::TapReset(session_.Port(), cable::TapResetEnd::kRunTestIdle);
    port_.ClearLog();
    SetTraceSink(&CollectTrace, this);
  }

  void TearDown() override {
    ResetTraceSink();
    cable::UsePortIo(session_.Port(), nullptr);
  }

  // The cable as before any was found: no port selected, no access obtained.
  void ForgetCable() {
    session_.Port().selection = cable::CableSelection{};
    cable::ForgetPortAccess(session_.Port());
  }

  int TraceCount(const std::string& line) const {
    int count = 0;
    for (const std::string& traced : trace_) count += traced == line ? 1 : 0;
    return count;
  }

  FreshSession session_;
  VirtualClock clock_;
  RecordingPort port_;
  ScriptedTarget target_{port_};
  std::vector<std::string> trace_;

 private:
  static void CollectTrace(void* context, const char* line) {
    static_cast<ScriptedCableTest*>(context)->trace_.emplace_back(line);
  }
};

}  // namespace vantrel::test
