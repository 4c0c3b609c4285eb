// LastJobResult: the outcome of the last background transfer, read by the host with
// jtagGetLastError while or after the job runs.
#pragma once

#include <cstdint>

#include "vantrel.h"

namespace vantrel::shell {

inline constexpr int32_t kNoJobResult = VANTREL_JOB_NONE;
inline constexpr int32_t kJobSucceeded = VANTREL_JOB_SUCCEEDED;
inline constexpr int32_t kDownloadFailed = VANTREL_JOB_DOWNLOAD_FAILED;
inline constexpr int32_t kReadJobFailed = VANTREL_JOB_READ_FAILED;
inline constexpr int32_t kWriteJobFailed = VANTREL_JOB_WRITE_FAILED;
inline constexpr int32_t kDownloadVerifyFailed = VANTREL_JOB_DOWNLOAD_VERIFY_FAILED;
inline constexpr int32_t kWriteVerifyFailed = VANTREL_JOB_WRITE_VERIFY_FAILED;

int32_t LastJobResult();
void StoreLastJobResult(int32_t result);

}  // namespace vantrel::shell
