// What the command layer holds between calls: the background job and its result, and
// the target-control state below it. The host's session owns one (src/api/session.h)
// and hands it to every command; the background job's worker is given the one its job
// was started in.
#pragma once

#include <atomic>
#include <cstdint>

#include "commands/job_result.h"
#include "commands/transfer_jobs.h"
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

}  // namespace vantrel::commands
