// What the command layer holds between calls: the background job and its result, and
// the target-control state below it. The
// host's session owns one (src/api/session.h) and binds it, with the target's, for the
// process; the functions of the command layer reach it through CommandLayer().
#pragma once

#include <atomic>
#include <cstdint>

#include "commands/job_result.h"
#include "commands/transfer_jobs.h"
#include "common/session_state.h"
#include "target/target_layer_state.h"

namespace vantrel::commands {

enum class JobKind { kDownload = 1, kRead = 2, kWrite = 3 };

// Written only while no job runs, read only by the worker of the job it describes.
struct TransferJob {
  JobKind kind;
  uint32_t address;  // the load address of a download
  uint32_t entryAddress;
  const uint8_t* source;
  uint8_t* destination;
  int32_t length;
  int32_t width;
  Verification verify;  // shared by download and write
};

struct CommandState {
  TransferJob job{};
  // Read by host threads while the job's worker stores it.
  std::atomic<JobResult> lastJobResult{JobResult::kNone};
  target::TargetLayerState target;
};

// The command layer's state of the session in use.
inline CommandState& CommandLayer() { return SessionState<CommandState>::Current(); }

// Binds state, and the target-control state it holds, for the rest of the process.
inline void BindForProcess(CommandState& state) {
  SessionState<CommandState>::BindForProcess(state);
  SessionState<target::TargetLayerState>::BindForProcess(state.target);
}

}  // namespace vantrel::commands
