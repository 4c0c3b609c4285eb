// LastJobResult: the outcome of the last background transfer, read by the host with
// jtagGetLastError while or after the job runs.
#pragma once

#include <cstdint>

#include "vantrel.h"

namespace vantrel::commands {

// A job's outcome, with the values the host reads.
enum class JobResult : int32_t {
  kNone = VANTREL_JOB_NONE,  // no job since load or since the host cleared it
  kSucceeded = VANTREL_JOB_SUCCEEDED,
  kDownloadFailed = VANTREL_JOB_DOWNLOAD_FAILED,
  kReadFailed = VANTREL_JOB_READ_FAILED,
  kWriteFailed = VANTREL_JOB_WRITE_FAILED,
  kDownloadVerifyFailed = VANTREL_JOB_DOWNLOAD_VERIFY_FAILED,
  kWriteVerifyFailed = VANTREL_JOB_WRITE_VERIFY_FAILED,
};

struct CommandState;

JobResult LastJobResult(const CommandState& commands);
void StoreLastJobResult(CommandState& commands, JobResult result);

}  // namespace vantrel::commands
